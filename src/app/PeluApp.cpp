#include "app/PeluApp.h"

#include "app/AppDelegate.h"
#include "overlays/HistogramView.h"
#include "overlays/MetadataPanel.h"
#include "overlays/NavigatorOverlay.h"
#include "state/AppState.h"
#include "thumbnails/ThumbnailBar.h"
#include "thumbnails/ThumbnailCache.h"
#include "viewer/ImageViewer.h"

#include <QMainWindow>

PeluApp::PeluApp(AppDelegate& delegate, QObject* parent) : QObject(parent)
{
    AppState& state = delegate.appState();
    m_window = new QMainWindow;
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    m_window->setStyleSheet(QStringLiteral("QMainWindow { background: black; }"));
    m_viewer = new ImageViewer(state, m_window);
    m_window->setCentralWidget(m_viewer);
    // The overlays: metadata panel, histogram and navigator mini-map.
    m_viewer->setOverlayWidget(OverlayMode::metadata, new MetadataPanel(state));
    m_viewer->setOverlayWidget(OverlayMode::histogram, new HistogramView(state));
    m_viewer->setNavigator(new NavigatorOverlay(state));
    // The strip of the folder's thumbnails; the viewer decides when it shows.
    m_viewer->setThumbnailBar(new ThumbnailBar(state));
    // A rotated file is made again, not shown as it was before the turn.
    connect(&state, &AppState::fileRewritten, this,
            [](const QUrl& url) { ThumbnailCache::shared().remove(url); });
    m_window->setWindowTitle(state.windowTitle());
    connect(&state, &AppState::windowTitleChanged, m_window,
            [this, &state] { m_window->setWindowTitle(state.windowTitle()); });
    m_window->resize(1024, 720);
    delegate.setWindow(m_window);
}

PeluApp::~PeluApp()
{
    delete m_window;
}
