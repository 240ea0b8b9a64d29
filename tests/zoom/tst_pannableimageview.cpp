#include "ZoomTestSupport.h"

#include "zoom/PannableImageView.h"
#include "zoom/ZoomScrollArea.h"

#include <QPainter>
#include <QTest>

using namespace zoomtest;

namespace {

// 4000 × 3000 in 1000 × 800 fits at 0.25: the image covers (0, 25)–(1000, 775).
constexpr QSize kView(1000, 800);
constexpr QSizeF kDocument(4000, 3000);

QImage stripes(int width, int height, bool vertical)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = ((vertical ? x : x + y) % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    }
    return image;
}

} // namespace

class TestPannableImageView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void clickStepsByTheHalfItLandsIn_data();
    void clickStepsByTheHalfItLandsIn();
    void movementBeyondThreePointsIsADrag();
    void dragPansAZoomedImageWithThePointer();
    void clicksOnAZoomedImageOrTheMarginsDoNothing();
    void doubleClickUndoesTheStepThenAsksForFit();
    void doubleAndTripleClicksOnAZoomedImage();
    void cursorIsAnOpenHandOverTheImageAndClosedWhileDragging();
    void fittedImageIsSmoothlyDownscaled();
    void actualSizeIsPixelExactAndCentred();
    void drawsSharplyAtDevicePixelRatioTwo();
    void fadeEndsAfterItsDuration();

private:
    Surface* m_surface = nullptr;
    QStringList m_log;
};

void TestPannableImageView::init()
{
    m_log.clear();
    m_surface = new Surface;
    makeSurface(*m_surface, kView, kDocument);
    m_surface->view->setImage(solidImage(4000, 3000));
    m_surface->view->setOnNavigateClick(
        [this](bool next) { m_log << (next ? "next" : "previous"); });
    m_surface->view->setOnDoubleClick([this] { m_log << "fit"; });
}

void TestPannableImageView::cleanup()
{
    delete m_surface;
    m_surface = nullptr;
}

void TestPannableImageView::clickStepsByTheHalfItLandsIn_data()
{
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<QString>("step");
    QTest::newRow("right half") << QPointF(750, 400) << "next";
    QTest::newRow("left half") << QPointF(250, 400) << "previous";
    QTest::newRow("exact middle") << QPointF(500, 400) << "previous";
    QTest::newRow("right edge") << QPointF(1000, 30) << "next";
}

void TestPannableImageView::clickStepsByTheHalfItLandsIn()
{
    QFETCH(QPointF, at);
    QFETCH(QString, step);
    click(m_surface->view, at);
    QCOMPARE(m_log, QStringList{step});
}

void TestPannableImageView::movementBeyondThreePointsIsADrag()
{
    PannableImageView* view = m_surface->view;
    const QRectF fitted = m_surface->area->bounds();
    press(view, {500, 400});
    dragTo(view, {503, 403});
    release(view, {503, 403});
    QCOMPARE(m_log, QStringList{"next"});

    m_log.clear();
    press(view, {500, 400});
    dragTo(view, {503.5, 400});
    release(view, {503.5, 400});
    // A drag never steps, and a fitted image stays where it is.
    QCOMPARE(m_log, QStringList());
    QCOMPARE(m_surface->area->bounds(), fitted);
    QVERIFY(m_surface->area->isFitMode());
}

void TestPannableImageView::dragPansAZoomedImageWithThePointer()
{
    ZoomScrollArea* area = m_surface->area;
    area->setFitMode(false);
    area->setMagnification(1.0);
    area->scrollToPoint({1000, 1000});
    const QPointF grabbed = area->mapToDocument({400, 300});

    press(m_surface->view, {400, 300});
    dragTo(m_surface->view, {350, 250});
    dragTo(m_surface->view, {300, 200});
    // The point taken hold of stays under the pointer.
    QCOMPARE(area->mapToDocument({300, 200}), grabbed);
    QCOMPARE(area->bounds().topLeft(), QPointF(1100, 900));

    // Against the edge the image stops.
    dragTo(m_surface->view, {5000, 300});
    QCOMPARE(area->bounds().x(), 0.0);
    release(m_surface->view, {5000, 300});
    QCOMPARE(area->magnification(), 1.0);
    QVERIFY(!area->isFitMode());
    QCOMPARE(m_log, QStringList());
}

void TestPannableImageView::clicksOnAZoomedImageOrTheMarginsDoNothing()
{
    m_surface->area->setFitMode(false);
    click(m_surface->view, {750, 400});
    QCOMPARE(m_log, QStringList());

    // Fitted, but outside the image: the black band above it.
    m_surface->area->setFitMode(true);
    click(m_surface->view, {750, 10});
    doubleClickPress(m_surface->view, {750, 10});
    QCOMPARE(m_log, QStringList());
}

void TestPannableImageView::doubleClickUndoesTheStepThenAsksForFit()
{
    click(m_surface->view, {750, 400});
    doubleClickPress(m_surface->view, {750, 400});
    release(m_surface->view, {750, 400});
    QCOMPARE(m_log, (QStringList{"next", "previous", "fit"}));

    // The third press of a triple click is a new first click.
    click(m_surface->view, {750, 400});
    QCOMPARE(m_log.size(), 4);
    QCOMPARE(m_log.last(), "next");
}

void TestPannableImageView::doubleAndTripleClicksOnAZoomedImage()
{
    m_surface->area->setFitMode(false);
    click(m_surface->view, {250, 400});
    doubleClickPress(m_surface->view, {250, 400});
    release(m_surface->view, {250, 400});
    click(m_surface->view, {250, 400});
    QCOMPARE(m_log, QStringList{"fit"});
}

void TestPannableImageView::cursorIsAnOpenHandOverTheImageAndClosedWhileDragging()
{
    PannableImageView* view = m_surface->view;
    dragTo(view, {500, 10});
    QCOMPARE(view->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(view, {500, 400});
    QCOMPARE(view->cursor().shape(), Qt::OpenHandCursor);

    press(view, {500, 400});
    dragTo(view, {502, 400});
    QCOMPARE(view->cursor().shape(), Qt::OpenHandCursor);
    dragTo(view, {510, 400});
    QCOMPARE(view->cursor().shape(), Qt::ClosedHandCursor);
    release(view, {510, 400});
    QCOMPARE(view->cursor().shape(), Qt::OpenHandCursor);
}

void TestPannableImageView::fittedImageIsSmoothlyDownscaled()
{
    // One-pixel checks averaged at a quarter: grey, not a moiré of black and white.
    m_surface->view->setImage(stripes(4000, 3000, false));
    QTRY_VERIFY(m_surface->view->isScaledCopyReady());
    const QImage shot = m_surface->view->grab().toImage();
    for (const QPoint p : {QPoint(500, 400), QPoint(10, 30), QPoint(990, 770)}) {
        const int grey = qGray(shot.pixel(p));
        QVERIFY2(grey > 100 && grey < 156, qPrintable(QString::number(grey)));
    }
    QCOMPARE(shot.pixel(500, 10), qRgb(0, 0, 0));
    QCOMPARE(shot.pixel(500, 790), qRgb(0, 0, 0));
}

void TestPannableImageView::actualSizeIsPixelExactAndCentred()
{
    m_surface->view->setImage(twoToneImage(400, 300));
    m_surface->view->setFrameSize({400, 300});
    m_surface->area->setMagnification(1.0);
    const QImage shot = m_surface->view->grab().toImage();
    QCOMPARE(shot.pixel(300, 250), qRgb(255, 0, 0));
    QCOMPARE(shot.pixel(499, 549), qRgb(255, 0, 0));
    QCOMPARE(shot.pixel(500, 250), qRgb(0, 0, 255));
    QCOMPARE(shot.pixel(699, 549), qRgb(0, 0, 255));
    QCOMPARE(shot.pixel(299, 250), qRgb(0, 0, 0));
    QCOMPARE(shot.pixel(700, 550), qRgb(0, 0, 0));
}

void TestPannableImageView::drawsSharplyAtDevicePixelRatioTwo()
{
    // Fitted at 0.5 on a screen of two device pixels per point: one image pixel per device pixel.
    m_surface->view->setImage(stripes(2000, 1600, true));
    m_surface->view->setFrameSize({2000, 1600});
    m_surface->area->updateMinMagnification();
    m_surface->area->setMagnification(m_surface->area->minMagnification());
    QCOMPARE(m_surface->area->magnification(), 0.5);
    QImage shot(QSize(2000, 1600), QImage::Format_RGB32);
    shot.setDevicePixelRatio(2.0);
    m_surface->view->render(&shot);
    for (int x = 900; x < 910; ++x)
        QCOMPARE(shot.pixel(x, 800), (x % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
}

void TestPannableImageView::fadeEndsAfterItsDuration()
{
    PannableImageView* view = m_surface->view;
    view->fadeFromCurrentContent();
    view->setImage(solidImage(4000, 3000, Qt::white));
    QVERIFY(view->isFading());
    QTRY_VERIFY_WITH_TIMEOUT(!view->isFading(), 2000);
    const QImage shot = view->grab().toImage();
    QCOMPARE(shot.pixel(500, 400), qRgb(255, 255, 255));
}

QTEST_MAIN(TestPannableImageView)
#include "tst_pannableimageview.moc"
