#include "app/PeluApp.h"

#include "app/AboutWindow.h"
#include "app/AppDelegate.h"
#include "app/AppStyle.h"
#include "app/AppVersion.h"
#include "app/MenuBar.h"
#include "app/WindowFrame.h"
#include "desktop/WindowSystem.h"
#include "overlays/HistogramView.h"
#include "overlays/MetadataPanel.h"
#include "overlays/NavigatorOverlay.h"
#include "state/AppState.h"
#include "state/FolderListing.h"
#include "thumbnailcache/ThumbnailCache.h"
#include "thumbnails/ThumbnailBar.h"
#include "viewer/ImageViewer.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <utility>

static void initResources()
{
    // The icons live in this static library; the linker keeps them only when named.
    Q_INIT_RESOURCE(pelu);
}

namespace {

constexpr int kIconDelayMs = 100;

QIcon windowIcon()
{
    QStringList files;
    for (int side : {16, 32, 48, 64})
        files.append(QStringLiteral(":/icons/pelu-%1.png").arg(side));
    files.append(QStringLiteral(":/AppIcon"));
    return app::iconFromPngs(files);
}

} // namespace

PeluApp::PeluApp(AppDelegate& delegate, QObject* parent) : QObject(parent), m_delegate(delegate)
{
    initResources();

    AppState& state = delegate.appState();
    m_window = new QMainWindow;
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    m_viewer = new ImageViewer(state, m_window);
    m_window->setCentralWidget(m_viewer);
    // The overlays. The panels a start does not show are made once its first picture is on
    // screen: their titles load a font and wake the accessibility bridge, which held that
    // picture back by a few milliseconds.
    const auto makePanels = [this, &state] {
        m_viewer->setOverlayWidget(OverlayMode::metadata, new MetadataPanel(state));
        auto* histogram = new HistogramView(state);
        m_viewer->setOverlayWidget(OverlayMode::histogram, histogram);
        connect(m_viewer, &ImageViewer::frameShown, histogram, &HistogramView::showFrame);
    };
    if (state.overlayMode() == OverlayMode::none)
        connect(m_viewer, &ImageViewer::pictureDrawn, this, makePanels,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    else
        makePanels();
    m_viewer->setNavigator(new NavigatorOverlay(state));
    // The strip of the folder's thumbnails; the viewer decides when it shows.
    m_viewer->setThumbnailBar(new ThumbnailBar(state));
    // A rotated file is made again, not shown as it was before the turn.
    connect(&state, &AppState::fileRewritten, this,
            [](const QUrl& url) { ThumbnailCache::shared().remove(url); });

    AppCommands commands;
    commands.open = [this] { showOpenPanel(); };
    commands.closeWindow = [this] { m_window->close(); };
    commands.quit = [] { QApplication::quit(); };
    commands.toggleFullScreen = [this] { toggleFullScreen(); };
    commands.about = [this] { showAboutWindow(); };
    m_window->setMenuBar(new MenuBar(state, std::move(commands), m_window));

    m_window->setWindowTitle(state.windowTitle());
    connect(&state, &AppState::windowTitleChanged, m_window,
            [this, &state] { m_window->setWindowTitle(state.windowTitle()); });

    if (!app::restoreWindowFrame(m_window))
        m_window->resize(app::kDefaultContentSize +
                         QSize(0, m_window->menuBar()->sizeHint().height()));
    m_window->installEventFilter(this);
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { app::saveWindowFrame(m_window); });
    delegate.setWindow(m_window);
}

PeluApp::~PeluApp()
{
    delete m_window;
}

bool PeluApp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        // Black behind everything, painted here rather than by a style sheet: one made the
        // style sheet machinery polish every widget of the window, a few milliseconds of the
        // start.
        if (event->type() == QEvent::Paint)
            QPainter(m_window).fillRect(static_cast<QPaintEvent*>(event)->rect(), Qt::black);
        if (event->type() == QEvent::Close)
            app::saveWindowFrame(m_window);
        // Full screen is the picture alone; the shortcuts still work (they belong to the window).
        else if (event->type() == QEvent::WindowStateChange)
            m_window->menuBar()->setVisible(!m_window->isFullScreen());
        // The icon comes a moment after the first frame: reading the files and handing them
        // to the window system held that frame back by several milliseconds.
        else if (event->type() == QEvent::Paint && !std::exchange(m_iconRequested, true))
            QTimer::singleShot(kIconDelayMs, this,
                               [] { QApplication::setWindowIcon(windowIcon()); });
    }
    return QObject::eventFilter(watched, event);
}

void PeluApp::toggleFullScreen()
{
    if (m_window->isFullScreen())
        m_window->showNormal();
    else
        m_window->showFullScreen();
}

void PeluApp::showAboutWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->objectName() == QLatin1String(AboutWindow::kObjectName)) {
            window->show();
            window->raise();
            window->activateWindow();
            return;
        }
    }
    auto* about = new AboutWindow(app::appVersion(app::buildInfo()), m_window);
    // Closing only hides it; it stays for the next time.
    about->setAttribute(Qt::WA_DeleteOnClose, false);
    about->setAttribute(Qt::WA_QuitOnClose, false);
    // On Wayland the compositor places it.
    const QScreen* screen = desktop::windowPositionsKnown() ? m_window->screen() : nullptr;
    if (screen) {
        QRect frame = about->geometry();
        frame.moveCenter(screen->availableGeometry().center());
        about->move(frame.topLeft());
    }
    about->show();
    about->raise();
    about->activateWindow();
}

QFileDialog* PeluApp::makeOpenPanel(QWidget* parent)
{
    QStringList patterns;
    for (const QString& extension : folder::supportedExtensions())
        patterns.append(QStringLiteral("*.") + extension);
    patterns.sort();
    auto* panel = new QFileDialog(parent, tr("Open"));
    panel->setFileMode(QFileDialog::ExistingFile);
    panel->setAcceptMode(QFileDialog::AcceptOpen);
    panel->setNameFilter(tr("Images (%1)").arg(patterns.join(QLatin1Char(' '))));
    panel->setWindowModality(Qt::ApplicationModal);
    return panel;
}

void PeluApp::showOpenPanel()
{
    QFileDialog* panel = makeOpenPanel(m_window);
    // Starts beside the shown image rather than wherever Pelu was launched from.
    if (const auto& shown = m_delegate.appState().currentURL())
        panel->setDirectory(QFileInfo(shown->toLocalFile()).absolutePath());
    const bool confirmed = panel->exec() == QDialog::Accepted;
    const QStringList files = panel->selectedFiles();
    delete panel;
    if (confirmed && !files.isEmpty())
        m_delegate.appState().openFile(QUrl::fromLocalFile(files.first()));
}
