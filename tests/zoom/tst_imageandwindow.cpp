#include "SurfaceHarness.h"
#include "ZoomTestSupport.h"

#include "zoom/FramePlayer.h"
#include "zoom/ImageRotation.h"
#include "zoom/PannableImageView.h"
#include "zoom/WindowAutoSize.h"
#include "zoom/ZoomScrollArea.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace zoomtest;

namespace {

const QString kAnimatedGif = QStringLiteral(PELU_SOURCE_DIR "/tests/zoom/data/three-frames.gif");
const QString kStillGif = QStringLiteral(PELU_SOURCE_DIR "/tests/zoom/data/still.gif");

} // namespace

class TestImageAndWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void canvasHoldsTheTurnedImage_data();
    void canvasHoldsTheTurnedImage();
    void quarterTurnsAreClockwiseAndExact();
    void surfaceShowsTheTurnedImage();
    void autoSizedFrameFitsTheScreen();
    void autoSizeModeSizesTheWindowThenFits();
    void fitRequestInAutoSizeModeResizesFirst();
    void animatedGifPlaysAndStillImagesRunNoTimer();
};

void TestImageAndWindow::canvasHoldsTheTurnedImage_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<double>("degrees");
    QTest::addColumn<QSize>("canvas");
    // Floating-point noise in the cosine of a quarter turn must not add a pixel column.
    QTest::newRow("quarter turn") << QSize(4000, 3000) << 90.0 << QSize(3000, 4000);
    QTest::newRow("half turn") << QSize(4000, 3000) << 180.0 << QSize(4000, 3000);
    QTest::newRow("three quarters") << QSize(4000, 3000) << 270.0 << QSize(3000, 4000);
    QTest::newRow("backwards") << QSize(4000, 3000) << -90.0 << QSize(3000, 4000);
    QTest::newRow("square") << QSize(100, 100) << 90.0 << QSize(100, 100);
    QTest::newRow("eighth turn") << QSize(100, 100) << 45.0 << QSize(142, 142);
    QTest::newRow("over a turn") << QSize(40, 30) << 450.0 << QSize(30, 40);
}

void TestImageAndWindow::canvasHoldsTheTurnedImage()
{
    QFETCH(QSize, image);
    QFETCH(double, degrees);
    QFETCH(QSize, canvas);
    QCOMPARE(zoom::rotatedCanvasSize(image.width(), image.height(), degrees), canvas);
}

void TestImageAndWindow::quarterTurnsAreClockwiseAndExact()
{
    const QImage image = twoToneImage(40, 30); // red left, blue right
    const QImage clockwise = zoom::rotatedImage(image, 90);
    QCOMPARE(clockwise.size(), QSize(30, 40));
    QCOMPARE(clockwise.pixel(15, 0), qRgb(255, 0, 0));
    QCOMPARE(clockwise.pixel(15, 39), qRgb(0, 0, 255));
    QCOMPARE(clockwise.pixel(0, 19), qRgb(255, 0, 0));
    const QImage counter = zoom::rotatedImage(image, 270);
    QCOMPARE(counter.pixel(15, 0), qRgb(0, 0, 255));
    QCOMPARE(zoom::rotatedImage(image, -90), counter);
    const QImage half = zoom::rotatedImage(image, 180);
    QCOMPARE(half.pixel(0, 0), qRgb(0, 0, 255));
    QCOMPARE(half.pixel(39, 29), qRgb(255, 0, 0));

    // Any other angle leaves transparent corners on a canvas that holds the whole picture.
    const QImage tilted = zoom::rotatedImage(image, 30);
    QCOMPARE(tilted.size(), zoom::rotatedCanvasSize(40, 30, 30));
    QCOMPARE(qAlpha(tilted.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(tilted.pixel(tilted.width() / 2, tilted.height() / 2)), 255);

    // Whole turns give the image itself.
    QCOMPARE(zoom::rotatedImage(image, 360).cacheKey(), image.cacheKey());
    QCOMPARE(zoom::rotatedImage(image, -360).cacheKey(), image.cacheKey());
}

void TestImageAndWindow::surfaceShowsTheTurnedImage()
{
    SurfaceHarness h;
    const QImage image = twoToneImage(400, 300);
    h.open(image);
    h.view.setRotation(90);
    settle();
    QCOMPARE(h.view.imageView()->frameSize(), QSizeF(300, 400));
    QCOMPARE(h.view.coordinator()->displayedImage()->pixel(150, 0), qRgb(255, 0, 0));
    QTRY_VERIFY(!h.view.imageView()->isFading());
    // Centred at 100 %: top half red, bottom half blue.
    const QImage shot = h.view.imageView()->grab().toImage();
    QCOMPARE(shot.pixel(500, 250), qRgb(255, 0, 0));
    QCOMPARE(shot.pixel(500, 550), qRgb(0, 0, 255));
}

void TestImageAndWindow::autoSizedFrameFitsTheScreen()
{
    // 847 / 4000 of 6000 is exactly 1270.5, which rounds away from zero.
    QCOMPARE(zoom::autoSizedFrame({0, 0, 1440, 875}, {0, 28}, {6000, 4000}),
             QRect(85, 0, 1271, 875));
    // Never above 100 %.
    QCOMPARE(zoom::autoSizedFrame({0, 0, 1440, 875}, {0, 28}, {400, 300}),
             QRect(520, 274, 400, 328));
    QCOMPARE(zoom::autoSizedFrame({100, 50, 1000, 800}, {10, 10}, {990, 790}),
             QRect(100, 50, 1000, 800));
    QVERIFY(zoom::autoSizedFrame({0, 0, 1440, 875}, {0, 28}, {0, 300}).isNull());
}

void TestImageAndWindow::autoSizeModeSizesTheWindowThenFits()
{
    SurfaceHarness h;
    h.view.setAutoSizeWindow(true);
    h.view.setImage(solidImage(300, 200));
    h.view.applyPendingChanges();
    QVERIFY(h.area()->isAutoSizing());
    settle();
    QVERIFY(!h.area()->isAutoSizing());
    QVERIFY(h.area()->isFitMode());
    QCOMPARE(h.view.size(), QSize(300, 200));
    QCOMPARE(h.area()->magnification(), 1.0);
    QCOMPARE(h.states.last().visible, QRectF(0, 0, 1, 1));

    // A large image shrinks the window, frame included, to the screen and fits into it.
    const QRect screen = h.view.screen()->availableGeometry();
    const QSize chrome = h.view.frameGeometry().size() - h.view.size();
    const QSizeF large(screen.width() * 2, screen.height() * 4);
    h.view.setImage(solidImage(int(large.width()), int(large.height())));
    settle();
    QCOMPARE(h.view.frameGeometry(), zoom::autoSizedFrame(screen, chrome, large));
    QCOMPARE(h.area()->magnification(), h.view.height() / large.height());
}

void TestImageAndWindow::fitRequestInAutoSizeModeResizesFirst()
{
    SurfaceHarness h;
    h.view.setAutoSizeWindow(true);
    // No image yet: an ordinary fit, still consumed.
    h.view.setZoomAction(ZoomAction::fit);
    settle();
    QCOMPARE(h.zoomConsumed, 1);

    h.open(solidImage(320, 240));
    h.view.resize(900, 700);
    h.area()->setFitMode(false);
    h.area()->setMagnification(2.0);
    h.view.setZoomAction(ZoomAction::fit);
    h.view.applyPendingChanges();
    // The window is resized at once; the fit and the report follow.
    QCOMPARE(h.view.size(), QSize(320, 240));
    QVERIFY(h.area()->isAutoSizing());
    settle();
    QVERIFY(!h.area()->isAutoSizing());
    QCOMPARE(h.area()->magnification(), 1.0);
    QCOMPARE(h.zoomConsumed, 3);
}

void TestImageAndWindow::animatedGifPlaysAndStillImagesRunNoTimer()
{
    FramePlayer player;
    QSignalSpy frames(&player, &FramePlayer::frameReady);
    player.play(kAnimatedGif);
    // Frames after the first one, which is on screen already: green, blue, then red again.
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 3, 3000);
    QVERIFY(player.isPlaying());
    QCOMPARE(frames.at(0).at(0).value<QImage>().pixel(0, 0), qRgb(0, 255, 0));
    QCOMPARE(frames.at(1).at(0).value<QImage>().pixel(0, 0), qRgb(0, 0, 255));
    QCOMPARE(frames.at(2).at(0).value<QImage>().pixel(0, 0), qRgb(255, 0, 0));
    player.stop();
    const qsizetype stopped = frames.count();
    QTest::qWait(100);
    QCOMPARE(frames.count(), stopped);

    // A one-frame GIF is opened, found still, and left without a timer.
    player.play(kStillGif);
    QTest::qWait(100);
    QVERIFY(!player.isPlaying());
    QCOMPARE(frames.count(), stopped);

    // On the surface, frames replace the shown image at the same size.
    SurfaceHarness h;
    h.view.setImage(QImage(kAnimatedGif), kAnimatedGif);
    settle();
    QTRY_VERIFY(h.view.imageView()->image().pixel(0, 0) == qRgb(0, 255, 0));
    QCOMPARE(h.view.imageView()->frameSize(), QSizeF(16, 12));

    // Behind the empty state the animation stops.
    h.view.setImage(std::nullopt, QString());
    settle();
    const qint64 frozen = h.view.imageView()->image().cacheKey();
    QTest::qWait(150);
    QCOMPARE(h.view.imageView()->image().cacheKey(), frozen);
}

QTEST_MAIN(TestImageAndWindow)
#include "tst_imageandwindow.moc"
