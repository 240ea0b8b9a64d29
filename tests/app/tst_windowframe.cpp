#include "AppTestSupport.h"
#include "app/AppDelegate.h"
#include "app/PeluApp.h"
#include "app/WindowFrame.h"
#include "viewer/ImageViewer.h"

#include <QMainWindow>
#include <QScreen>

using app::placeOnScreens;

class TestWindowFrame : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase() { apptest::useSettingsIn(m_config); }
    void init() { apptest::settings().clear(); }

    void placeOnScreens_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QRect>("expected");
        const QRect left(0, 0, 1920, 1080);
        const QRect right(1920, 0, 1280, 1024);
        const QList<QRect> two{left, right};
        QTest::newRow("inside a screen")
            << QRect(100, 100, 400, 300) << two << QRect(100, 100, 400, 300);
        QTest::newRow("across two screens")
            << QRect(1700, 100, 400, 300) << two << QRect(1700, 100, 400, 300);
        QTest::newRow("partly below the bottom edge")
            << QRect(100, 900, 400, 300) << two << QRect(100, 780, 400, 300);
        QTest::newRow("on a screen since unplugged")
            << QRect(3400, 200, 400, 300) << two << QRect(2800, 200, 400, 300);
        QTest::newRow("above every screen, nearest is the left one")
            << QRect(500, -900, 400, 300) << two << QRect(500, 0, 400, 300);
        QTest::newRow("larger than the only screen")
            << QRect(-50, -50, 2500, 1400) << QList<QRect>{left} << left;
        QTest::newRow("mostly on the right, sticking out below")
            << QRect(2000, 900, 400, 300) << two << QRect(2000, 724, 400, 300);
    }

    void placeOnScreens()
    {
        QFETCH(QRect, frame);
        QFETCH(QList<QRect>, screens);
        QFETCH(QRect, expected);
        QCOMPARE(::placeOnScreens(frame, screens), expected);
    }

    void firstLaunchHasTheDefaultContentSize()
    {
        AppDelegate delegate;
        PeluApp pelu(delegate);
        pelu.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(pelu.window()));
        QCOMPARE(pelu.viewer()->size(), QSize(400, 300));
    }

    void frameIsRememberedApartFromThePreferences()
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect chosen(available.x() + 30, available.y() + 40, 500, 350);
        {
            AppDelegate delegate;
            PeluApp pelu(delegate);
            pelu.window()->show();
            QVERIFY(QTest::qWaitForWindowExposed(pelu.window()));
            pelu.window()->setGeometry(chosen);
            QTRY_COMPARE(pelu.window()->geometry(), chosen);
            pelu.window()->close();
        }
        QSettings stored = apptest::settings();
        QCOMPARE(stored.value(QStringLiteral("Window/geometry")).toRect(), chosen);
        // Beside the preferences, never among them.
        QVERIFY(!stored.childKeys().contains(QStringLiteral("geometry")));
        QCOMPARE(stored.childGroups(), QStringList{QStringLiteral("Window")});

        AppDelegate delegate;
        PeluApp pelu(delegate);
        QCOMPARE(pelu.window()->geometry(), chosen);
    }
};

QTEST_MAIN(TestWindowFrame)
#include "tst_windowframe.moc"
