// The viewer's keys: steps and jumps, keys that pile up behind a slow step or come while a
// jump's photo is still decoding, Tab and Escape.
#include "../state/LargePhoto.h"
#include "ViewerFixture.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>

class TestKeys : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
    void init() { testsupport::settings().clear(); }

    void keysStepAndAreConsumed()
    {
        Fixture f;
        const auto urls = f.files(4);
        f.state.openFile(urls[0]);
        const QList<std::pair<Qt::Key, int>> steps{
            {Qt::Key_Right, 1}, {Qt::Key_Space, 2}, {Qt::Key_Left, 1}, {Qt::Key_Backspace, 0}};
        for (const auto& [key, index] : steps) {
            f.press(key);
            QCOMPARE(f.state.currentIndex(), index);
        }
        // Backspace held down steps once per repeat, once the photo it goes to is decoded
        // ahead: a repeat never waits for a decode.
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier, QString(), true);
        if (f.state.isDecodingAhead(-1)) {
            QApplication::sendEvent(f.viewer, &repeat);
            QCOMPARE(f.state.currentIndex(), 0);
        }
        QTRY_VERIFY(!f.state.isDecodingAhead(-1));
        QApplication::sendEvent(f.viewer, &repeat);
        QCOMPARE(f.state.currentIndex(), 3);
        QVERIFY(repeat.isAccepted());
        QVERIFY(f.viewer->hasFocus());
    }

    // First, last, and ten back or forward with wrap-around, as the title tells.
    void homeEndAndPagesJump()
    {
        Fixture f;
        const auto urls = f.files(25);
        f.state.openFile(urls[2]);
        const QList<std::pair<Qt::Key, qint64>> keys{
            {Qt::Key_End, 24}, {Qt::Key_PageDown, 9}, {Qt::Key_PageDown, 19}, {Qt::Key_PageUp, 9},
            {Qt::Key_Home, 0}, {Qt::Key_PageUp, 15},  {Qt::Key_Home, 0},      {Qt::Key_End, 24}};
        for (const auto& [key, expected] : keys) {
            f.press(key);
            QCOMPARE(f.state.currentIndex(), expected);
            QCOMPARE(f.state.windowTitle(),
                     QStringLiteral("pic%1.png [%2/25]").arg(expected + 1).arg(expected + 1));
        }
    }

    // End lands on a photo that takes long to decode: the window goes on answering, a key
    // pressed meanwhile is taken at once and wins, and the photo called off never shows.
    void keyDuringALongDecodeIsTakenAtOnce()
    {
        Fixture f;
        auto urls = f.files(3);
        const QString large = f.dir.filePath(QStringLiteral("pic4.jpg"));
        QVERIFY(writeLargePhoto(large));
        urls.append(QUrl::fromLocalFile(large));
        f.state.openFile(urls[0]);
        QVERIFY(f.state.currentImage());
        bool largeShown = false;
        connect(&f.state, &AppState::currentURLChanged, this,
                [&] { largeShown = largeShown || f.state.currentURL() == urls[3]; });

        QElapsedTimer clock;
        clock.start();
        f.press(Qt::Key_End);
        QVERIFY2(clock.elapsed() < 50, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(f.state.targetIndex(), 3);

        // The key comes through the event loop, as one from the keyboard would.
        constexpr int kPressAtMs = 30;
        qint64 handledAt = -1;
        QTimer::singleShot(kPressAtMs, this, [&] {
            f.press(Qt::Key_Left);
            handledAt = clock.elapsed();
        });
        QTRY_VERIFY(handledAt >= 0);
        QVERIFY2(handledAt - kPressAtMs < 100, qPrintable(QString::number(handledAt)));
        QCOMPARE(f.state.currentURL(), urls[2]);
        QCOMPARE(f.state.windowTitle(), QStringLiteral("pic3.png [3/4]"));
        QTest::qWait(1500);
        QVERIFY(!largeShown);
        QCOMPARE(f.state.currentURL(), urls[2]);
    }

    void keysThatWaitedBehindASlowStepBecomeOne()
    {
        Fixture f;
        const auto urls = f.files(8);
        f.state.openFile(urls[0]);
        const auto send = [&f](Qt::Key key, qint64 sentAt, bool repeat = false) {
            QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString(), repeat);
            event.setTimestamp(quint64(sentAt));
            QApplication::sendEvent(f.viewer, &event);
            return event.isAccepted();
        };
        const qint64 now = QDeadlineTimer::current().deadline();
        // Read as soon as it was sent: a step at once.
        QVERIFY(send(Qt::Key_Right, now));
        QCOMPARE(f.state.currentIndex(), 1);
        // Sent long before they were read, as behind a slow decode: one step, the net one,
        // once all of them are read.
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Backspace, Qt::Key_Space})
            QVERIFY(send(key, now - 400));
        QCOMPARE(f.state.currentIndex(), 1);
        QTRY_COMPARE(f.state.currentIndex(), 3);
        QCOMPARE(f.statusText().left(6), QStringLiteral("4 / 8 "));
        // A timely key while a step is pending joins it instead of overtaking it.
        QVERIFY(send(Qt::Key_Right, now - 400));
        QVERIFY(send(Qt::Key_Left, QDeadlineTimer::current().deadline()));
        QCOMPARE(f.state.currentIndex(), 3);
        QVERIFY(f.state.hasPendingStep());
        QTRY_VERIFY(!f.state.hasPendingStep());
        QCOMPARE(f.state.currentIndex(), 3);

        // Letting go of a held key drops the repeats that piled up; a press that piled up
        // among them is still taken.
        const auto release = [&f] {
            QKeyEvent event(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
            QApplication::sendEvent(f.viewer, &event);
        };
        const auto decodedAhead = [&f] {
            return !f.state.isDecodingAhead(1) && !f.state.isDecodingAhead(2);
        };
        QTRY_VERIFY(decodedAhead());
        QVERIFY(send(Qt::Key_Right, now - 400, true));
        release();
        QTRY_VERIFY(!f.state.hasPendingStep());
        QCOMPARE(f.state.currentIndex(), 3);
        QVERIFY(send(Qt::Key_Right, now - 400));
        QVERIFY(send(Qt::Key_Right, now - 400, true));
        release();
        QTRY_COMPARE(f.state.currentIndex(), 5);
    }

    // Tab cycles the overlays and keeps the focus; Escape closes an overlay, then full screen,
    // then quits.
    void tabCyclesOverlaysEscapeClosesThemThenQuits()
    {
        Fixture f;
        for (OverlayMode mode :
             {OverlayMode::metadata, OverlayMode::histogram, OverlayMode::none}) {
            QTest::keyClick(f.viewer, Qt::Key_Tab);
            QCOMPARE(f.state.overlayMode(), mode);
        }
        QVERIFY(f.viewer->hasFocus());
        f.state.setOverlayMode(OverlayMode::histogram);
        f.press(Qt::Key_F, QStringLiteral("f"));
        QTRY_VERIFY(f.window.isFullScreen());
        f.press(Qt::Key_Escape);
        QCOMPARE(f.state.overlayMode(), OverlayMode::none);
        QVERIFY(f.window.isFullScreen());
        f.press(Qt::Key_Escape);
        QTRY_VERIFY(!f.window.isFullScreen());
        QCOMPARE(f.quits, 0);
        f.press(Qt::Key_Escape);
        QCOMPARE(f.quits, 1);
    }
};

QTEST_MAIN(TestKeys)
#include "tst_keys.moc"
