// Home, End, Page Up and Page Down, and a key pressed while a jump's photo is still decoding.
#include "../state/LargePhoto.h"
#include "ViewerFixture.h"

#include <QElapsedTimer>
#include <QTimer>

class TestJumpKeys : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
    void init() { testsupport::settings().clear(); }

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
};

QTEST_MAIN(TestJumpKeys)
#include "tst_jumpkeys.moc"
