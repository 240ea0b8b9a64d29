#include "app/AppDelegate.h"
#include "app/MessageRouting.h"
#include "app/PeluApp.h"
#include "app/SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    installMessageRouting();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelu"));
    QApplication::setOrganizationName(QStringLiteral("Pelu"));
    // No application display name: Qt would append it to every title, and the title is
    // the file name with its position alone.
    QApplication::setQuitOnLastWindowClosed(true);

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
