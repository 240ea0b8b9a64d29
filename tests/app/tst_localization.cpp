#include "AppTestSupport.h"
#include "app/AboutWindow.h"
#include "app/AppDelegate.h"
#include "app/Localization.h"
#include "app/PeluApp.h"

#include <QApplication>
#include <QMainWindow>
#include <QTranslator>

namespace {

QStringList menuTexts(QMenuBar* bar)
{
    QStringList texts;
    for (const QAction* action : apptest::allActions(bar))
        texts.append(action->text());
    return texts;
}

void removeTranslators()
{
    for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

} // namespace

class TestLocalization : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase() { apptest::useSettingsIn(m_config); }
    void cleanup() { removeTranslators(); }

    // The description is looked up by its key, which no English reader should see.
    void englishReadsTheDescriptionNotItsKey()
    {
        app::installTranslations(*qApp, QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(AboutWindow::description().startsWith(QLatin1String("A quick")));
    }

    // Every menu text is looked up: none stays English under a Spanish locale.
    void spanishTranslatesEveryMenuText()
    {
        AppDelegate englishDelegate;
        PeluApp english(englishDelegate);
        const QStringList englishTexts = menuTexts(english.window()->menuBar());

        app::installTranslations(*qApp, QLocale(QLocale::Spanish, QLocale::Spain));
        AppDelegate delegate;
        PeluApp spanish(delegate);
        const QStringList spanishTexts = menuTexts(spanish.window()->menuBar());
        QCOMPARE(spanishTexts.size(), englishTexts.size());
        for (qsizetype i = 0; i < englishTexts.size(); ++i)
            QVERIFY2(spanishTexts[i] != englishTexts[i], qPrintable(englishTexts[i]));
        QVERIFY(spanishTexts.contains(QStringLiteral("Acerca de Pelú")));

        spanish.showAboutWindow();
        auto* about = spanish.window()->findChild<AboutWindow*>();
        QVERIFY(about);
        QCOMPARE(about->windowTitle(), QStringLiteral("Acerca de Pelú"));
        QVERIFY(AboutWindow::description().startsWith(QStringLiteral("Un visor")));
    }
};

QTEST_MAIN(TestLocalization)
#include "tst_localization.moc"
