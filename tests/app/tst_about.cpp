#include "AppTestSupport.h"
#include "app/AboutWindow.h"
#include "app/AppDelegate.h"
#include "app/AppVersion.h"
#include "app/Localization.h"
#include "app/PeluApp.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMainWindow>
#include <QRegularExpression>
#include <QTranslator>

using app::appVersion;

class TestAbout : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;
    QList<QUrl> m_opened;

    static QList<QWidget*> aboutWindows()
    {
        QList<QWidget*> found;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QLatin1String(AboutWindow::kObjectName))
                found.append(window);
        }
        return found;
    }

public Q_SLOTS:
    // Stands in for the web browser.
    void openInBrowser(const QUrl& url) { m_opened.append(url); }

private Q_SLOTS:
    // Missing, blank or not text, a part takes its fallback: never "Version 0.4 ()".
    void versionRule()
    {
        const QString v = QStringLiteral("version"), b = QStringLiteral("build");
        QCOMPARE(appVersion({{v, "2.3"}, {b, "57"}}), "2.3 (57)");
        QCOMPARE(appVersion({}), "1.0 (1)");
        QCOMPARE(appVersion({{v, "0.4"}, {b, " "}}), "0.4 (1)");
        QCOMPARE(appVersion({{v, 2.3}, {b, 57}}), "1.0 (1)");
    }

    // At most one, fixed, not minimisable; closing keeps it for the next time. (Its size, and
    // Escape closing it, are tried on the real window by end_to_end_test.sh.)
    void oneFixedWindow()
    {
        AppDelegate delegate;
        PeluApp pelu(delegate);
        pelu.showAboutWindow();
        pelu.showAboutWindow();
        QCOMPARE(aboutWindows().size(), 1);
        QWidget* about = aboutWindows().first();
        QCOMPARE(about->minimumSize(), about->maximumSize());
        QVERIFY(!about->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        about->close();
        pelu.showAboutWindow();
        QCOMPARE(aboutWindows(), QList<QWidget*>{about});
        QVERIFY(about->isVisible());

        // Everything stands inside, top to bottom, none over another, nothing squeezed.
        QList<QWidget*> rows = about->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(rows.size(), 6);
        std::sort(rows.begin(), rows.end(), [](auto* a, auto* b) { return a->y() < b->y(); });
        // This build's own version, as X.Y (B).
        const QString version = appVersion(app::buildInfo());
        QCOMPARE(qobject_cast<QLabel*>(rows[2])->text(), QStringLiteral("Version ") + version);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d+ \\(\\d+\\)$"))
                     .match(version)
                     .hasMatch(),
                 qPrintable(version));
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QVERIFY(about->rect().contains(rows[i]->geometry()));
            QVERIFY(rows[i]->height() >= rows[i]->minimumSizeHint().height());
            QVERIFY(i == 0 || rows[i]->y() > rows[i - 1]->geometry().bottom());
        }
    }

    void linksOpenInTheBrowser()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openInBrowser");
        AboutWindow about(appVersion({}));
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        for (QLabel* label : about.findChildren<QLabel*>()) {
            if (label->text().contains(QLatin1String("<a ")))
                QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(m_opened, (QList<QUrl>{AboutWindow::productUrl(), AboutWindow::makerUrl()}));
        QVERIFY(about.isVisible());
    }

    // Under a Spanish locale no menu text stays English, the About window included.
    void spanishTranslatesEveryText()
    {
        const auto texts = [](PeluApp& pelu) {
            QStringList all;
            for (const QAction* action : apptest::allActions(pelu.window()->menuBar()))
                all.append(action->text());
            return all;
        };
        AppDelegate englishDelegate;
        PeluApp english(englishDelegate);
        app::installTranslations(*qApp, QLocale(QLocale::Spanish, QLocale::Spain));
        AppDelegate delegate;
        PeluApp spanish(delegate);
        const QStringList before = texts(english), after = texts(spanish);
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < before.size(); ++i)
            QVERIFY2(after[i] != before[i], qPrintable(before[i]));
        spanish.showAboutWindow();
        QCOMPARE(spanish.window()->findChild<AboutWindow*>()->windowTitle(),
                 QStringLiteral("Acerca de Pelú"));
        QVERIFY(AboutWindow::description().startsWith(QStringLiteral("Un visor")));
        for (QTranslator* translator : qApp->findChildren<QTranslator*>())
            QCoreApplication::removeTranslator(translator);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
