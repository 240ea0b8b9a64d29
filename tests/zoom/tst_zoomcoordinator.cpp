#include "ZoomTestSupport.h"

#include "zoom/FollowUpQueue.h"
#include "zoom/FramePlayer.h"
#include "zoom/ImageRotation.h"
#include "zoom/WindowAutoSize.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>

using namespace zoomtest;

namespace {

// The fade's progress as the view's first paint from now on begins.
class FirstPaint : public QObject {
public:
    std::optional<double> progress;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !progress)
            progress = TestAccess::fadeProgress(*static_cast<PannableImageView*>(watched));
        return false;
    }
};

} // namespace

// What the window hands the surface and what the surface reports back.
class TestZoomCoordinator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void zoomRequestsFollowTheTable_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<int>("action");
        QTest::addColumn<double>("expected");
        // 4000 × 3000 in 1000 × 800: the fitted magnification is 0.25.
        QTest::newRow("fit") << 2.0 << int(ZoomAction::fit) << 0.25;
        QTest::newRow("actual size") << 0.25 << int(ZoomAction::actualSize) << 1.0;
        QTest::newRow("zoom in") << 1.0 << int(ZoomAction::zoomIn) << 1.5;
        QTest::newRow("zoom in to the maximum") << 15.0 << int(ZoomAction::zoomIn) << 20.0;
        QTest::newRow("zoom out") << 1.5 << int(ZoomAction::zoomOut) << 1.0;
        QTest::newRow("zoom out at the minimum") << 0.25 << int(ZoomAction::zoomOut) << 0.25;
    }
    void zoomRequestsFollowTheTable()
    {
        QFETCH(double, start);
        QFETCH(int, action);
        QFETCH(double, expected);
        const bool fit = action == int(ZoomAction::fit);
        SurfaceHarness h(solidImage(4000, 3000));
        h.area()->setFitMode(!fit); // each request must set the mode itself
        h.area()->setMagnification(start);
        h.area()->scrollToPoint(h.area()->bounds().topLeft() + QPointF(1, 1));
        const QPointF centre = h.area()->bounds().center();

        h.view.setZoomAction(ZoomAction(action));
        h.view.applyPendingChanges();
        QCOMPARE(h.area()->magnification(), expected);
        QCOMPARE(h.area()->isFitMode(), fit);
        QCOMPARE(h.zoomConsumed, 1); // only the opening fit: never inside the step
        if (!fit && expected > 1.0)  // the middle of the view stays on the same image point
            QVERIFY((h.area()->bounds().center() - centre).manhattanLength() < 1e-6);
        settle();
        QCOMPARE(h.zoomConsumed, 2);
        QCOMPARE(h.states.last().magnification, expected);
    }

    // From 5000 × 4000 to 2000 × 1600, which fits at 0.5. A step with 100 % asked for sets it
    // at once, but the image's follow-up, queued first, restores the zoom.
    void steppingKeepsOrRefitsTheZoom()
    {
        struct Step {
            bool fitted;
            double before;
            bool actualSize;
            double after;
        };
        for (const Step step : {Step{false, 3.0, false, 3.0}, Step{false, 0.2, false, 0.5},
                                Step{true, 0.2, false, 0.5}, Step{false, 3.0, true, 3.0}}) {
            SurfaceHarness h(solidImage(5000, 4000));
            h.area()->setFitMode(step.fitted);
            h.area()->setMagnification(step.before);
            if (step.actualSize)
                h.view.setZoomAction(ZoomAction::actualSize);
            h.view.setImage(solidImage(2000, 1600, Qt::blue));
            settle();
            QCOMPARE(h.image()->frameSize(), QSizeF(2000, 1600));
            QCOMPARE(h.area()->magnification(), step.after);
            QCOMPARE(h.area()->isFitMode(), step.fitted);
            QCOMPARE(h.states.last().magnification, step.after);
        }
    }

    // A copy keeps the image's identity: it stays fitted, and a click still steps. A new
    // image's first frame is already into the fade and painted before the step returns: no
    // timer, follow-up or second turn of the event loop stands between.
    void sameImageIsLeftAloneAndANewOneFadesInAtOnce()
    {
        const QImage image = solidImage(4000, 3000, Qt::black);
        SurfaceHarness h(image);
        h.view.setImage(QImage(image));
        settle();
        QVERIFY(!TestAccess::isFading(*h.image()));
        mouse(h.image(), QEvent::MouseButtonPress, {250, 400});
        mouse(h.image(), QEvent::MouseButtonRelease, {250, 400});
        QCOMPARE(h.clicks, QStringList{"previous"});

        FirstPaint first;
        h.image()->installEventFilter(&first);
        h.view.setImage(solidImage(4000, 3000, Qt::white));
        h.view.applyPendingChanges();
        QVERIFY(first.progress);
        QVERIFY2(*first.progress > 0.05 && *first.progress < 1,
                 qPrintable(QString::number(*first.progress)));
        QVERIFY(qRed(h.image()->grab().toImage().pixel(500, 400)) > 0);
        QVERIFY(TestAccess::isFading(*h.image())); // the fade still lasts its 150 ms
        QTRY_VERIFY_WITH_TIMEOUT(!TestAccess::isFading(*h.image()), 2000);
        QCOMPARE(TestAccess::fadeProgress(*h.image()), 1.0);
        QCOMPARE(h.image()->grab().toImage().pixel(500, 400), qRgb(255, 255, 255));
    }

    // The target point ends in the middle of the view, or as near as the edges allow; a wholly
    // visible image reports as the whole image, margins and all.
    void scrollTargetsPutThePointInPlace()
    {
        struct Target {
            QPointF point;
            bool fitted;
            QPointF inView; // in fractions of the reported view
        };
        for (const Target t :
             {Target{{0.5, 0.5}, false, {0.5, 0.5}}, Target{{0.25, 0.75}, false, {0.5, 0.5}},
              Target{{0, 0}, false, {0, 0}}, Target{{1, 1}, false, {1, 1}},
              Target{{0.75, 0.75}, true, {0.75, 0.75}}}) {
            SurfaceHarness h(solidImage(4000, 3000));
            if (!t.fitted)
                h.zoomTo(1.0);
            settle();
            h.view.setScrollTarget(t.point);
            h.view.applyPendingChanges();
            QCOMPARE(h.scrollConsumed, 0);
            settle();
            QCOMPARE(h.scrollConsumed, 1);
            const QRectF r = h.states.last().visible;
            QCOMPARE(QPointF((t.point.x() - r.x()) / r.width(), (t.point.y() - r.y()) / r.height()),
                     t.inView);
        }
    }

    void followUpsRunInOrderAndNeverInsideEachOther()
    {
        FollowUpQueue queue;
        QStringList log;
        queue.post([&] {
            log << "first begins";
            queue.post([&] { log << "fourth"; }); // after everything queued before it
            // A nested event loop must not start the next piece.
            QEventLoop loop;
            QTimer::singleShot(30, &loop, &QEventLoop::quit);
            loop.exec();
            log << "first ends";
        });
        queue.post([&] { log << "second"; });
        queue.post([&] { log << "third"; });
        QVERIFY(log.isEmpty());
        QTRY_COMPARE(log.size(), 5);
        settle();
        QCOMPARE(log, (QStringList{"first begins", "first ends", "second", "third", "fourth"}));
    }

    // A new surface reports only the zoom it settles at, not the 100 % its first image passes
    // through on the way to the fit (the window would show it for a frame). A retired one
    // reports nothing of a request under way, a click or a wheel; one told that a request is
    // done may be destroyed there and then.
    void surfaceReportsOnlyWhileItServes()
    {
        SurfaceHarness h(solidImage(4000, 500)); // lower than the view: centred at 100 %
        QVERIFY(!h.states.isEmpty());
        for (const auto& state : h.states)
            QCOMPARE(state.magnification, 0.25);

        QSignalSpy magnified(&h.view, &ZoomableImageView::magnifiedByUser);
        h.view.setScrollTarget(QPointF(0.5, 0.5));
        h.view.applyPendingChanges();
        const qsizetype reports = h.states.size();
        h.view.retire();
        settle();
        mouse(h.image(), QEvent::MouseButtonPress, {750, 400});
        mouse(h.image(), QEvent::MouseButtonRelease, {750, 400});
        wheel(h.image(), {500, 400}, {0, 120});
        QCOMPARE(h.area()->magnification(), 0.275); // the wheel still zooms
        QCOMPARE(h.scrollConsumed, 0);
        QCOMPARE(h.states.size(), reports);
        QCOMPARE(h.clicks, QStringList());
        QCOMPARE(magnified.count(), 0);

        // The window may close when told a request is done: nothing may touch it after.
        auto* view = new ZoomableImageView;
        view->setImage(solidImage(400, 300));
        view->setZoomAction(ZoomAction::fit);
        QObject::connect(view, &ZoomableImageView::zoomActionConsumed,
                         [&view] { delete std::exchange(view, nullptr); });
        QTRY_VERIFY(!view);
        settle();
    }

    void turnsAreClockwiseOnACanvasThatHoldsThem()
    {
        // Floating-point noise in the cosine of a quarter turn must not add a pixel column.
        QCOMPARE(zoom::rotatedCanvasSize(40, 30, 450), QSize(30, 40));
        QCOMPARE(zoom::rotatedCanvasSize(100, 100, 45), QSize(142, 142));
        const QImage image = twoToneImage(40, 30);
        QCOMPARE(zoom::rotatedImage(image, -90).pixel(15, 0), qRgb(0, 0, 255));
        // Any other angle leaves transparent corners around the whole picture.
        const QImage tilted = zoom::rotatedImage(image, 30);
        QCOMPARE(qAlpha(tilted.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(tilted.pixel(tilted.width() / 2, tilted.height() / 2)), 255);

        SurfaceHarness h(twoToneImage(400, 300)); // a quarter turn, on the surface
        h.view.setRotation(90);
        settle();
        QCOMPARE(h.image()->frameSize(), QSizeF(300, 400));
        QCOMPARE(TestAccess::shownImage(*h.image()).pixel(150, 0), qRgb(255, 0, 0));
    }

    void autoSizeModeSizesTheWindowThenFits()
    {
        SurfaceHarness h(std::nullopt);
        h.view.setAutoSizeWindow(true);
        h.view.setZoomAction(ZoomAction::fit); // no image yet: an ordinary fit, still consumed
        settle();
        QCOMPARE(h.zoomConsumed, 1);
        h.view.setImage(solidImage(300, 200)); // never above 100 %
        h.view.applyPendingChanges();
        QVERIFY(TestAccess::isAutoSizing(*h.area()));
        settle();
        QVERIFY(!TestAccess::isAutoSizing(*h.area()) && h.area()->isFitMode());
        QCOMPARE(h.view.size(), QSize(300, 200));
        QCOMPARE(h.states.last().magnification, 1.0);
        // A fit request resizes the window at once; the fit and the report follow.
        h.view.resize(900, 700);
        h.zoomTo(2.0);
        h.view.setZoomAction(ZoomAction::fit);
        h.view.applyPendingChanges();
        QCOMPARE(h.view.size(), QSize(300, 200));
        settle();
        QCOMPARE(h.zoomConsumed, 2);
        QCOMPARE(h.states.last().magnification, 1.0);

        // A large image shrinks the window, frame included, to the screen (the window script
        // sees it there); 847 / 4000 of 6000 is exactly 1270.5, which rounds away from zero.
        QCOMPARE(zoom::autoSizedFrame({0, 0, 1440, 875}, {0, 28}, {6000, 4000}),
                 QRect(85, 0, 1271, 875));
    }

    void animatedGifPlaysAndStillImagesRunNoTimer()
    {
        const QString gif = QStringLiteral(PELU_SOURCE_DIR "/tests/zoom/data/three-frames.gif");
        FramePlayer player;
        QSignalSpy frames(&player, &FramePlayer::frameReady);
        player.play(gif);
        // The frames after the first (on screen already): green, blue, then red again.
        QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 3, 3000);
        QVERIFY(TestAccess::isPlaying(player));
        const QList<QRgb> colours{qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 0, 0)};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(frames.at(i).at(0).value<QImage>().pixel(0, 0), colours[i]);
        player.play(QStringLiteral(PELU_SOURCE_DIR "/tests/zoom/data/still.gif"));
        const qsizetype stopped = frames.count(); // a still GIF runs no timer
        QTest::qWait(100);
        QVERIFY(!TestAccess::isPlaying(player));
        QCOMPARE(frames.count(), stopped);

        // On the surface, frames replace the shown image; behind the empty state they stop.
        SurfaceHarness h(std::nullopt);
        h.view.setImage(QImage(gif), gif);
        settle();
        QTRY_COMPARE(TestAccess::shownImage(*h.image()).pixel(0, 0), qRgb(0, 255, 0));
        QCOMPARE(h.image()->frameSize(), QSizeF(16, 12));
        h.view.setImage(std::nullopt, QString());
        settle();
        const qint64 frozen = TestAccess::shownImage(*h.image()).cacheKey();
        QTest::qWait(150);
        QCOMPARE(TestAccess::shownImage(*h.image()).cacheKey(), frozen);
    }
};

QTEST_MAIN(TestZoomCoordinator)
#include "tst_zoomcoordinator.moc"
