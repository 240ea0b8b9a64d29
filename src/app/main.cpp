#include "app/AppDelegate.h"
#include "app/Localization.h"
#include "app/PeluApp.h"
#include "app/SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelu"));
    QApplication::setOrganizationName(QStringLiteral("Pelu"));
    // No application display name: Qt would append it to every title, and the title is
    // the file name with its position alone.
    QApplication::setQuitOnLastWindowClosed(true);
    // Ties the window to the installed desktop entry and its icon.
    QApplication::setDesktopFileName(QStringLiteral("pelu"));
    app::installTranslations(app, QLocale());

    const QStringList files = QApplication::arguments().mid(1);
    AppDelegate delegate;
    if (delegate.handOverOrListen(files, QDir::currentPath(), SingleInstance::defaultServerName()))
        return 0;

    PeluApp pelu(delegate);
    delegate.openFiles(files, QDir::currentPath());
    pelu.window()->show();
    delegate.finishLaunching();
    return app.exec();
}
