#include "app/AppStyle.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>

class TestAppStyle : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The menu bar keeps its overflow arrow, and building it loads no image plugin.
    void menuBarLoadsNoImagePlugin()
    {
        app::installAppStyle();
        QVERIFY(dynamic_cast<app::AppStyle*>(QApplication::style()));
        QMainWindow window;
        window.menuBar()->addMenu(QStringLiteral("File"));
        const auto* arrow = window.menuBar()->findChild<QToolButton*>();
        QVERIFY(arrow && !arrow->icon().isNull());
        QVERIFY(!arrow->icon().pixmap(QSize(16, 16)).isNull());
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("/imageformats/"));
    }
};

QTEST_MAIN(TestAppStyle)
#include "tst_appstyle.moc"
