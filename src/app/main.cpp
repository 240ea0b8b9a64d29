#include "app/AppDelegate.h"
#include "app/AppStyle.h"
#include "app/Localization.h"
#include "app/MessageRouting.h"
#include "app/PeluApp.h"
#include "app/ScreenColour.h"
#include "app/SingleInstance.h"
#include "app/TextWarmup.h"
#include "app/WindowFrame.h"
#include "base/FrameTrace.h"
#include "desktop/ScreenProfile.h"
#include "desktop/WindowSystem.h"
#include "imaging/EarlyDecode.h"
#include "imaging/support/Allocator.h"
#include "state/AppState.h"
#include "state/EarlyListing.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QMainWindow>
#include <cstdio>
#include <cstdlib>

namespace {
// Neighbours are decoded ahead once the first picture is drawn, or after this at the latest.
constexpr int kFirstFrameWaitMs = 1000;

// What a photo opened now is fitted into, in pixels; empty when the window will take the
// photo's size instead.
QSize fittedInto()
{
    if (AppState::storedDisplayMode() == DisplayMode::autoSizeWindow)
        return {};
    return app::windowPixelsAtStart();
}
} // namespace

int main(int argc, char* argv[])
{
    base::FrameTrace::start();
    imaging::keepFreedMemory();
    installMessageRouting();
    // The photo named on the command line is decoded, and its folder listed, while Qt and the
    // window start; in the colours of the first screen's profile, read on its thread.
    const QString argument = argc == 2 ? QString::fromLocal8Bit(argv[1]) : QString();
    // Only beside a decode that ends at once: a big photo's decode needs that core itself.
    app::TextWarmup texts(!imaging::decodesSlowly(argument));
    imaging::EarlyDecode early(argument, fittedInto, desktop::startupScreenProfile);
    const EarlyListing listing(argument);
    // Before Qt's X11 plugin takes the startup id for a window of its own.
    const desktop::ActivationToken launchToken = desktop::launchActivationToken();
    QApplication app(argc, argv);
    app::installAppStyle();
    QApplication::setApplicationName(QStringLiteral("Pelu"));
    QApplication::setOrganizationName(QStringLiteral("Pelu"));
    // No application display name: Qt would append it to every title, and the title is
    // the file name with its position alone.
    QApplication::setQuitOnLastWindowClosed(true);
    // Ties the window to the installed desktop entry and its icon (the Wayland app id).
    QApplication::setDesktopFileName(QStringLiteral("org.pelu.Pelu"));
    app::installTranslations(app, QLocale());

    const QStringList files = QApplication::arguments().mid(1);
    int status = 0;
    {
        AppDelegate delegate(&early);
        if (delegate.handOverOrListen(files, QDir::currentPath(),
                                      SingleInstance::defaultServerName(), launchToken)) {
            // The application object takes Qt's font configuration down with it: never while
            // the thread is still reading it.
            texts.wait();
            return 0;
        }
        // Only now: a launch that handed its file over would wait for this decode to end.
        early.applicationStarted();

        // Before anything is decoded here: the screen's profile, followed from now on.
        app::ScreenColour colour(delegate.appState());
        // Before the window's first text reads the font configuration itself.
        texts.wait();
        PeluApp pelu(delegate);
        // Two neighbours decoding beside the first frame would take both cores from it.
        delegate.appState().holdPreloads(kFirstFrameWaitMs);
        // Shown before the photo is opened: the window is made and mapped while the photo
        // decoded early is finished; nothing is drawn before the photo is at hand.
        pelu.window()->show();
        desktop::activateFirstWindow(pelu.window()->windowHandle(), launchToken);
        colour.follow(pelu.window()->windowHandle());
        delegate.openFiles(files, QDir::currentPath());
        delegate.finishLaunching();
        status = app.exec();
        // The window and the model go here, and whatever they keep is written.
    }
    // Neighbours may still be decoding on the work pool, which the application object would
    // wait for on its way out; their pictures are wanted by nobody now.
    std::fflush(nullptr);
    std::_Exit(status);
}
