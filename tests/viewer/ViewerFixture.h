#pragma once

#include "state/AppState.h"
#include "viewer/ImageViewer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTest>

// pic1.png .. picN.png, 64 × 48, each its own colour.
inline QList<QUrl> makeFolder(const QTemporaryDir& dir, int n)
{
    QList<QUrl> urls;
    for (int i = 1; i <= n; ++i) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i * 30 % 360, 200, 200));
        const QString path = dir.filePath(QStringLiteral("pic%1.png").arg(i));
        image.save(path);
        urls.append(QUrl::fromLocalFile(path));
    }
    return urls;
}

// The viewer in a shown main window, quitting into a counter.
struct Fixture {
    AppState state;
    QMainWindow window;
    ImageViewer* viewer;
    int quits = 0;

    Fixture()
    {
        viewer = new ImageViewer(state);
        viewer->setQuitHandler([this] { ++quits; });
        window.setCentralWidget(viewer);
        window.resize(640, 480);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    void press(Qt::Key key, const QString& text = {})
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(viewer, &event);
    }
};
