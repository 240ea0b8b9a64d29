#pragma once

#include "../support/TestAccess.h"
#include "../support/TestSupport.h"
#include "state/AppState.h"
#include "viewer/EmptyStateView.h"
#include "viewer/ImageViewer.h"
#include "viewer/StatusBarLabel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QTest>

// The viewer in a shown main window, quitting into a counter.
struct Fixture {
    QTemporaryDir dir;
    AppState state;
    QMainWindow window;
    ImageViewer* viewer;
    int quits = 0;

    // early: a photo decoded ahead, as at start.
    explicit Fixture(imaging::EarlyDecode* early = nullptr) : state(early)
    {
        viewer = new ImageViewer(state);
        TestAccess::setQuitHandler(*viewer, [this] { ++quits; });
        window.setCentralWidget(viewer);
        window.resize(640, 480);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    EmptyStateView* emptyState() const { return viewer->findChild<EmptyStateView*>(); }
    StatusBarLabel* statusBar() const { return viewer->findChild<StatusBarLabel*>(); }
    QString statusText() const { return TestAccess::text(*statusBar()); }

    // pic1.png .. picN.png, 64 × 48, each its own colour.
    QList<QUrl> files(int n)
    {
        QList<QUrl> urls;
        for (int i = 1; i <= n; ++i) {
            QImage image(64, 48, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(i * 30 % 360, 200, 200));
            image.save(dir.filePath(QStringLiteral("pic%1.png").arg(i)));
            urls.append(QUrl::fromLocalFile(dir.filePath(QStringLiteral("pic%1.png").arg(i))));
        }
        return urls;
    }

    void press(Qt::Key key, const QString& text = {})
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(viewer, &event);
    }
};
