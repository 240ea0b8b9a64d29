#include "app/Localization.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace app {

namespace {

void install(QCoreApplication& application, const QLocale& locale, const QString& name,
             const QString& folder)
{
    auto* translator = new QTranslator(&application);
    if (translator->load(locale, name, QStringLiteral("_"), folder))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace

void installTranslations(QCoreApplication& application, const QLocale& locale)
{
    install(application, locale, QStringLiteral("qtbase"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    // Installed last, so it is asked first.
    install(application, locale, QStringLiteral("pelu"), QStringLiteral(":/i18n"));
}

} // namespace app
