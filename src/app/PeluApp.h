#pragma once

#include <QObject>

class AppDelegate;
class ImageViewer;
class QMainWindow;

// Builds the one main window around the viewer and keeps its title on the model's.
class PeluApp : public QObject {
    Q_OBJECT

public:
    explicit PeluApp(AppDelegate& delegate, QObject* parent = nullptr);
    ~PeluApp() override;

    QMainWindow* window() const { return m_window; }
    ImageViewer* viewer() const { return m_viewer; }

private:
    QMainWindow* m_window;
    ImageViewer* m_viewer;
};
