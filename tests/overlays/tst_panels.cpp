#include "../support/TestSupport.h"
#include "base/WorkPool.h"
#include "overlays/HistogramPlot.h"
#include "overlays/HistogramView.h"
#include "overlays/MetadataPanel.h"
#include "state/AppState.h"
#include "viewer/ImageViewer.h"

#include <QLabel>
#include <QMainWindow>
#include <QSemaphore>
#include <QTextEdit>
#include <QtTest>

#include <atomic>

using imaging::HistogramData;

namespace {

QImage filled(const QColor& colour)
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QStringList labelTexts(const QWidget& panel)
{
    QStringList texts;
    for (const QLabel* label : panel.findChildren<QLabel*>())
        texts.append(label->text());
    return texts;
}

// The widget as drawn over an opaque background.
QImage rendered(QWidget& widget, const QColor& background)
{
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(background);
    widget.render(&image, {}, {}, QWidget::DrawChildren | QWidget::IgnoreMask);
    return image;
}

} // namespace

class TestPanels : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
    // The rows given last, or a message when there are none. Values come from the file: markup
    // stays text, and long values wrap inside the card, even without a space.
    void metadataRowsAreTextThatWraps()
    {
        AppState state;
        state.setMetadata({{"Camera", "stale"}});
        MetadataPanel panel(state);
        state.setMetadata({});
        QCOMPARE(labelTexts(panel), (QStringList{"Metadata", "No metadata available"}));
        const QString markup = QStringLiteral("<i></i><b>P-1</b>");
        state.setMetadata({{"Model", markup}});
        QCOMPARE(labelTexts(panel), (QStringList{"Metadata", "Model", markup}));
        const int oneRow = panel.sizeHint().height();
        QLabel* value = panel.findChildren<QLabel*>().last();
        value->setSelection(0, int(markup.size()));
        QCOMPARE(value->selectedText(), markup); // what the user copies is the text as stored
        const int line = value->fontMetrics().height();

        const QString lens = QStringLiteral("lens ").repeated(60);
        state.setMetadata({{"Lens", lens}});
        QVERIFY(panel.height() > oneRow + 3 * line);
        const int wrappedWithSpaces = panel.height();
        const QString serial = QStringLiteral("SN0123456789ABCDEF").repeated(5).left(80);
        state.setMetadata({{"Lens", lens}, {"Serial", serial}});
        QCOMPARE(panel.width(), MetadataPanel::kWidth + 2 * OverlayCard::kPadding);
        QVERIFY(panel.height() > wrappedWithSpaces + 2 * line);
        auto* broken = panel.findChild<QTextEdit*>();
        QVERIFY(broken && broken->width() <= MetadataPanel::kWidth - MetadataPanel::kLabelWidth);
        QCOMPARE(broken->toPlainText(), serial);
        QVERIFY(broken->height() >= 2 * line);
    }

    // Shown by the viewer for the first time, the card holds its title and every row; it is dark
    // with rounded corners, and its margin lets presses through to the picture. Clicking a value
    // to select it gives it focus; Tab must still cycle the overlays.
    void tabCyclesOverlaysAfterAValueWasClicked()
    {
        AppState state;
        QMainWindow window;
        auto* viewer = new ImageViewer(state);
        window.setCentralWidget(viewer);
        auto* panel = new MetadataPanel(state);
        viewer->setOverlayWidget(OverlayMode::metadata, panel);
        window.resize(640, 480);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        state.setMetadata({{"Model", "P-1"}, {"Lens", "50 mm"}, {"ISO", "200"}});
        state.setCurrentImage(filled(Qt::red));
        QCoreApplication::processEvents();
        state.setOverlayMode(OverlayMode::metadata);
        QCoreApplication::processEvents();
        QCOMPARE(panel->height(), panel->sizeHint().height());
        const QList<QLabel*> labels = panel->findChildren<QLabel*>();
        QCOMPARE(labels.size(), 7);
        for (const QLabel* label : labels)
            QVERIFY(label->isVisible() && label->height() >= label->fontMetrics().height());
        const QRect card = panel->cardRect();
        const QImage image = rendered(*panel, Qt::white);
        QCOMPARE(qGray(image.pixel(card.left() + 10, card.center().y())), 51);
        QCOMPARE(image.pixel(card.topLeft()), qRgb(255, 255, 255));
        const QPoint margin = panel->mapTo(&window, card.topLeft() - QPoint(2, 2));
        QVERIFY(!panel->isAncestorOf(window.childAt(margin)) && window.childAt(margin) != panel);
        QLabel* value = labels.last();
        QTest::mouseClick(value, Qt::LeftButton);
        QVERIFY(value->hasFocus());
        QTest::keyClick(value, Qt::Key_Tab);
        QCOMPARE(state.overlayMode(), OverlayMode::histogram);
    }

    // Counted in the background, the indicator spinning meanwhile; counts that come late for an
    // image no longer shown are dropped; nothing is counted while the card is hidden, and the
    // shown image's counts are kept.
    void histogramCountsTheShownImageInTheBackground()
    {
        AppState state;
        const QImage slow = filled(Qt::green), red = filled(Qt::red), blue = filled(Qt::blue);
        QSemaphore release;
        const auto unblock = qScopeGuard([&release] { release.release(); });
        std::atomic<int> counted = 0;
        HistogramView view(state);
        view.setCounter([&](const QImage& image) {
            if (image.cacheKey() == slow.cacheKey())
                release.acquire();
            ++counted;
            return imaging::computeHistogram(image);
        });
        state.setCurrentImage(slow);
        view.show();
        QVERIFY(!view.data() && view.plot()->isSpinning());
        state.setCurrentImage(red);
        QTRY_COMPARE(view.data(), imaging::computeHistogram(red));
        QVERIFY(!view.plot()->isSpinning());
        release.release();
        base::workPool().waitForDone();
        QTest::qWait(20);
        QCOMPARE(view.data(), imaging::computeHistogram(red));

        view.hide();
        state.setCurrentImage(blue);
        state.setCurrentImage(red);
        view.show();
        QCOMPARE(view.data(), imaging::computeHistogram(red));
        state.setCurrentImage(blue);
        QVERIFY(!view.data());
        QTRY_COMPARE(view.data(), imaging::computeHistogram(blue));
        QCOMPARE(counted.load(), 3);
    }

    // While an animation plays, the plot follows its frames without spinning: one frame is
    // counted at a time, then the latest to have come meanwhile; frames of an image no longer
    // shown, or shown while the card is hidden, are not counted.
    void histogramFollowsThePlayingFrames()
    {
        AppState state;
        const QImage first = filled(Qt::red), skipped = filled(Qt::green),
                     latest = filled(Qt::blue), next = filled(Qt::white);
        QMutex mutex;
        QList<qint64> counted;
        HistogramView view(state);
        view.setCounter([&](const QImage& image) {
            const QMutexLocker lock(&mutex);
            counted.append(image.cacheKey());
            return imaging::computeHistogram(image);
        });
        view.hide();
        state.setCurrentImage(first);
        view.showFrame(skipped);
        view.show();
        QTRY_COMPARE(view.data(), imaging::computeHistogram(first));

        view.showFrame(first);
        view.showFrame(skipped);
        view.showFrame(latest);
        QVERIFY(!view.plot()->isSpinning());
        QTRY_COMPARE(view.data(), imaging::computeHistogram(latest));
        base::workPool().waitForDone();
        QTest::qWait(20);
        {
            const QMutexLocker lock(&mutex);
            QCOMPARE(counted,
                     (QList<qint64>{first.cacheKey(), first.cacheKey(), latest.cacheKey()}));
        }
        // A frame still waiting when the image changes is dropped with it.
        view.showFrame(latest);
        view.showFrame(next);
        state.setCurrentImage(skipped);
        QTRY_COMPARE(view.data(), imaging::computeHistogram(skipped));
        base::workPool().waitForDone();
        QTest::qWait(20);
        QCOMPARE(view.data(), imaging::computeHistogram(skipped));
        const QMutexLocker lock(&mutex);
        QVERIFY(!counted.contains(next.cacheKey()));
    }

    // Logarithmic counts, each channel scaled to its own maximum, blue drawn last.
    void curvesDrawnOnLogScaleBlueOnTop()
    {
        HistogramPlot plot;
        HistogramData data;
        data.red[0] = 1000;
        std::fill(data.red.begin() + 100, data.red.begin() + 200, 10); // ln 11 / ln 1001: 42 of 120
        data.green[128] = 1; // a single sample still reaches the top
        plot.setData(data);
        QImage image = rendered(plot, Qt::black);
        QVERIFY(qRed(image.pixel(150, 100)) > 30);
        QCOMPARE(qRed(image.pixel(150, 60)), 0);
        QVERIFY(qGreen(image.pixel(128, 4)) > 30);
        QCOMPARE(qGreen(image.pixel(60, 60)), 0);
        for (auto* channel : {&data.red, &data.green, &data.blue})
            channel->fill(5);
        plot.setData(data);
        image = rendered(plot, Qt::black);
        const QRgb middle = image.pixel(128, 60);
        QVERIFY(qBlue(middle) > qGreen(middle) && qGreen(middle) > qRed(middle));
        QVERIFY(std::abs(qBlue(middle) - 77) <= 1); // fill at 0.3
    }
};

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
