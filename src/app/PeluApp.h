#pragma once

#include <QObject>

class AppDelegate;
class ImageViewer;
class QFileDialog;
class QMainWindow;

// Builds the one main window around the viewer with its menu bar, keeps its title on the
// model's and its frame across launches, and runs the Open panel and the About window.
class PeluApp : public QObject {
    Q_OBJECT

public:
    explicit PeluApp(AppDelegate& delegate, QObject* parent = nullptr);
    ~PeluApp() override;

    QMainWindow* window() const { return m_window; }
    ImageViewer* viewer() const { return m_viewer; }

    // Brings the one About window forward, making it the first time.
    void showAboutWindow();
    // One image file; confirming it opens it.
    void showOpenPanel();
    void toggleFullScreen();

    // The Open panel, configured but not shown.
    static QFileDialog* makeOpenPanel(QWidget* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppDelegate& m_delegate;
    QMainWindow* m_window;
    ImageViewer* m_viewer;
    bool m_iconRequested = false;
};
