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

    AppState state;
    QMainWindow window;
    auto* label = new QLabel(&window);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("background: black; color: white;"));
    window.setCentralWidget(label);

    auto refreshTitle = [&] {
        window.setWindowTitle(state.windowTitle());
        label->setText(state.windowTitle());
    };
    QObject::connect(&state, &AppState::windowTitleChanged, &window, refreshTitle);

    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        const QUrl url = QUrl::fromLocalFile(QDir::current().absoluteFilePath(args.at(1)));
        state.setCurrentURL(url);
        state.loadDirectory(url);
    }
    refreshTitle();
    window.resize(800, 600);
    window.show();
    return app.exec();
}
