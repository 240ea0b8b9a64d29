#include "FolderBench.h"

#include "BenchSupport.h"

#include "state/AppState.h"
#include "state/FolderListing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

int g_files = 500;

struct Import {
    int listings;
    double lastWriteToListedMs;
    double totalMs;
};

// Writes the files one by one, a pause between each, turning the event loop as a running
// viewer would; then waits until all of them are listed.
Import importInto(int pauseUs)
{
    QTemporaryDir dir;
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkYellow);
    const QString first = dir.filePath(QStringLiteral("shown.png"));
    picture.save(first);
    QFile source(first);
    source.open(QIODevice::ReadOnly);
    const QByteArray png = source.readAll();

    AppState state;
    state.openFile(QUrl::fromLocalFile(first));
    int listings = 0;
    QObject::connect(&state, &AppState::imageFilesChanged, [&listings] { ++listings; });
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < g_files; ++i) {
        QFile file(dir.filePath(QStringLiteral("IMG_%1.png").arg(i, 4, 10, QLatin1Char('0'))));
        file.open(QIODevice::WriteOnly);
        file.write(png);
        file.close();
        QCoreApplication::processEvents();
        if (pauseUs > 0)
            QThread::usleep(pauseUs);
    }
    QElapsedTimer sinceLastWrite;
    sinceLastWrite.start();
    while (state.imageFiles().size() < g_files + 1)
        bench::runEventsFor(5);
    return {listings, double(sinceLastWrite.nsecsElapsed()) / 1e6,
            double(total.nsecsElapsed()) / 1e6};
}

double listingMs()
{
    QTemporaryDir dir;
    for (int i = 0; i < g_files; ++i)
        QFile(dir.filePath(QStringLiteral("IMG_%1.jpg").arg(i))).open(QIODevice::WriteOnly);
    QElapsedTimer timer;
    timer.start();
    folder::listImagesIn(dir.path());
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

void runFolderBench(bool quick)
{
    g_files = quick ? 50 : 500;
    QTemporaryDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    std::printf("\nA camera import of %d files into the shown folder\n", g_files);
    std::printf("%-36s %9s %16s %10s\n", "", "listings", "last write to", "import");
    std::printf("%-36s %9s %16s %10s\n", "", "", "listed (ms)", "took (ms)");
    for (const auto& [what, pauseUs] :
         {std::pair{"all at once", 0}, std::pair{"one every 10 ms", 10000}}) {
        const Import import = importInto(pauseUs);
        std::printf("%-36s %9d %16.1f %10.1f\n", what, import.listings, import.lastWriteToListedMs,
                    import.totalMs);
    }
    std::printf("one listing of the %d files: %.1f ms\n", g_files, listingMs());
}
