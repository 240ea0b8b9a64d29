#include "AppTestSupport.h"
#include "app/AboutWindow.h"
#include "app/AppDelegate.h"
#include "app/AppVersion.h"
#include "app/PeluApp.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMainWindow>
#include <QRegularExpression>

using app::appVersion;

class TestAbout : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;
    QList<QUrl> m_opened;

    QWidget* aboutWindow() const
    {
        QWidget* found = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QLatin1String(AboutWindow::kObjectName)) {
                if (found)
                    return nullptr; // more than one
                found = window;
            }
        }
        return found;
    }

public Q_SLOTS:
    // Stands in for the web browser.
    void openInBrowser(const QUrl& url) { m_opened.append(url); }

private Q_SLOTS:
    void initTestCase() { apptest::useSettingsIn(m_config); }

    void versionRule_data()
    {
        QTest::addColumn<QVariantMap>("info");
        QTest::addColumn<QString>("expected");
        const QString version = QStringLiteral("version");
        const QString build = QStringLiteral("build");
        QTest::newRow("both") << QVariantMap{{version, QStringLiteral("2.3")},
                                             {build, QStringLiteral("57")}}
                              << QStringLiteral("2.3 (57)");
        QTest::newRow("neither") << QVariantMap{} << QStringLiteral("1.0 (1)");
        QTest::newRow("build is a number")
            << QVariantMap{{version, QStringLiteral("2.3")}, {build, 57}}
            << QStringLiteral("2.3 (1)");
        QTest::newRow("version is a number")
            << QVariantMap{{version, 2.3}, {build, QStringLiteral("9")}}
            << QStringLiteral("1.0 (9)");
        QTest::newRow("blank build")
            << QVariantMap{{version, QStringLiteral("0.4")}, {build, QStringLiteral(" ")}}
            << QStringLiteral("0.4 (1)");
    }

    void versionRule()
    {
        QFETCH(QVariantMap, info);
        QFETCH(QString, expected);
        QCOMPARE(appVersion(info), expected);
    }

    void buildGivesMajorMinorAndBuildNumber()
    {
        const QString version = appVersion(app::buildInfo());
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d+ \\(\\d+\\)$"))
                     .match(version)
                     .hasMatch(),
                 qPrintable(version));
    }

    void oneFixedWindowThatCanOnlyBeClosed()
    {
        AppDelegate delegate;
        PeluApp pelu(delegate);
        pelu.showAboutWindow();
        QWidget* about = aboutWindow();
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QCOMPARE(about->windowTitle(), QStringLiteral("About Pelú"));
        QCOMPARE(about->size(), QSize(340, 320));
        QCOMPARE(about->minimumSize(), about->maximumSize());
        const Qt::WindowFlags flags = about->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));

        // Chosen again, open or closed: the same window comes forward.
        pelu.showAboutWindow();
        QCOMPARE(aboutWindow(), about);
        QVERIFY(QTest::qWaitForWindowActive(about));
        QTest::keyClick(about, Qt::Key_Escape);
        QVERIFY(!about->isVisible());
        pelu.showAboutWindow();
        QCOMPARE(aboutWindow(), about);
        QVERIFY(about->isVisible());

        const QStringList texts = [about] {
            QStringList all;
            for (const QLabel* label : about->findChildren<QLabel*>())
                all.append(label->text());
            return all;
        }();
        QVERIFY(texts.contains(QStringLiteral("Version ") + appVersion(app::buildInfo())));
        QVERIFY(texts.contains(AboutWindow::description()));
        QVERIFY(AboutWindow::description() != QLatin1String("About.description"));
    }

    // Everything stands inside the fixed window, top to bottom, none over another.
    void contentFitsTheWindow()
    {
        AboutWindow about(appVersion({}));
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QList<QWidget*> children;
        for (QWidget* child : about.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            children.append(child);
        QCOMPARE(children.size(), 6);
        std::sort(children.begin(), children.end(),
                  [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
        for (int i = 0; i < children.size(); ++i) {
            const QRect box = children[i]->geometry();
            QVERIFY2(about.rect().contains(box), qPrintable(QString::number(i)));
            QVERIFY(box.height() >= children[i]->minimumSizeHint().height());
            if (i > 0)
                QVERIFY(box.top() > children[i - 1]->geometry().bottom());
        }
        QCOMPARE(children.first()->height(), 96);
    }

    void linksOpenInTheBrowser()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openInBrowser");
        AboutWindow about(appVersion({}));
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QList<QLabel*> links;
        for (QLabel* label : about.findChildren<QLabel*>()) {
            if (label->text().contains(QLatin1String("<a ")))
                links.append(label);
        }
        QCOMPARE(links.size(), 2);
        for (QLabel* link : links)
            QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(QSet<QUrl>(m_opened.cbegin(), m_opened.cend()),
                 (QSet<QUrl>{AboutWindow::productUrl(), AboutWindow::makerUrl()}));
        QVERIFY(about.isVisible());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
