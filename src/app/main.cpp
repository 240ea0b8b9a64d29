#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "state/AppState.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelu"));
    QApplication::setOrganizationName(QStringLiteral("Pelu"));
    QApplication::setApplicationDisplayName(QStringLiteral("Pelú"));

    const QStringList files = QApplication::arguments().mid(1);
    AppDelegate delegate;
    if (delegate.handOverOrListen(files, QDir::currentPath(), SingleInstance::defaultServerName()))
        return 0;

    AppState& state = delegate.appState();
    QMainWindow window;
    auto* label = new QLabel(&window);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("background: black; color: white;"));
    window.setCentralWidget(label);
    delegate.setWindow(&window);

    auto refresh = [&] {
        window.setWindowTitle(state.windowTitle());
        if (const auto& image = state.currentImage())
            label->setPixmap(QPixmap::fromImage(image->scaled(1000, 700, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        else
            label->setText(QStringLiteral("Open an image to start"));
    };
    QObject::connect(&state, &AppState::windowTitleChanged, &window, refresh);
    QObject::connect(&state, &AppState::currentImageChanged, &window, refresh);

    delegate.openFiles(files, QDir::currentPath());
    refresh();
    window.resize(1024, 720);
    window.show();
    delegate.finishLaunching();
    return app.exec();
}
