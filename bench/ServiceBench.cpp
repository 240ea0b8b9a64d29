#include "ServiceBench.h"

#include "HdrBench.h"

#include "imaging/pixels/Histogram.h"
#include "imaging/ImageService.h"
#include "imaging/pixels/ScreenCopy.h"
#include "state/FolderListing.h"
#include "thumbnailcache/ThumbnailCache.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>

namespace bench {

namespace {

void referenceDecode(const Settings& settings, const DataSet& data, Results& results)
{
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (djpeg.isEmpty()) {
        std::printf("  djpeg not found\n");
        return;
    }
    const QString path = data.photos.first();
    std::vector<double> times;
    for (int i = 0; i < settings.repeats; ++i)
        times.push_back(
            programMs(djpeg, {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), path}));
    results.set(QStringLiteral("djpeg_ms"), median(times));
    std::printf("  %-52s %9.1f ms\n", "djpeg -outfile /dev/null, process included", median(times));
}

void decodeAndHistogram(const Settings& settings, const DataSet& data, Results& results)
{
    const QString path = data.photos.first();
    const double openMs = medianMs(settings.repeats, [&] { imaging::decodeImage(path); });
    const QImage decoded = imaging::decodeImage(path).value_or(QImage());
    const double countMs = medianMs(settings.repeats, [&] { imaging::computeHistogram(decoded); });
    results.set(QStringLiteral("open_ms"), openMs);
    results.set(QStringLiteral("histogram_ms"), countMs);
    std::printf("  %-52s %9.1f ms  (%dx%d, %s)\n", "decode (imaging::decodeImage)", openMs,
                decoded.width(), decoded.height(),
                decoded.format() == QImage::Format_RGB888 ? "24-bit" : "32-bit");
    std::printf("  %-52s %9.2f ms\n", "computeHistogram of the decoded image", countMs);
    // A 16-bit picture has no fast path: every sample is converted on its own.
    const QImage deep = decoded.convertToFormat(QImage::Format_RGBA64);
    std::printf("  %-52s %9.2f ms\n", "computeHistogram of a 16-bit copy",
                medianMs(settings.repeats, [&] { imaging::computeHistogram(deep); }));
    const QSize miniMap(150, 100);
    QImage copy;
    std::printf("  %-52s %9.1f ms  (background)\n", "navigator copy 150x100, smooth",
                medianMs(settings.repeats, [&] { copy = imaging::smoothCopy(decoded, miniMap); }));
    std::printf("  %-52s %9.2f ms  (user-interface thread)\n", "navigator copy 150x100, sampled",
                medianMs(settings.repeats, [&] {
                    copy = decoded.scaled(miniMap, Qt::IgnoreAspectRatio, Qt::FastTransformation);
                }));
}

void metadataAndListing(const Settings& settings, const DataSet& data, Results& results)
{
    imaging::extractMetadata(data.cameraJpeg); // libraries set up once per process
    const double metadataMs = medianMs(std::max(settings.repeats, 21),
                                       [&] { imaging::extractMetadata(data.cameraJpeg); });
    results.set(QStringLiteral("metadata_ms"), metadataMs);
    std::printf("  %-52s %9.2f ms  (%lld rows)\n", "extractMetadata of a camera JPEG", metadataMs,
                qint64(imaging::extractMetadata(data.cameraJpeg).size()));

    const QString folder = QFileInfo(data.pngs.first()).path();
    qsizetype listed = 0;
    folder::listImagesIn(folder); // the folder as a running system has it: in the cache
    const double listMs = medianMs(settings.repeats, [&] {
        listed = folder::listImagesIn(folder).value_or(QList<QUrl>()).size();
    });
    results.set(QStringLiteral("list_10k_ms"), listMs);
    std::printf("  %-52s %9.2f ms  (%lld names)\n", "listing and sorting the PNG folder", listMs,
                qint64(listed));
}

// Thumbnails of every photo through a fresh cache as the strip uses it, against one
// vipsthumbnail over the same files.
void thumbnails(const Settings& settings, const DataSet& data, Results& results)
{
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    std::vector<double> ours, theirs;
    for (int run = 0; run < settings.repeats; ++run) {
        ThumbnailCache cache;
        QObject receiver;
        qsizetype done = 0;
        const double start = monotonicMs();
        for (const QString& photo : data.photos)
            cache.loadThumbnail(QUrl::fromLocalFile(photo), &receiver,
                                [&done](const std::optional<QImage>&) { ++done; });
        while (done < data.photos.size())
            runEventsFor(5);
        ours.push_back(double(data.photos.size()) / ((monotonicMs() - start) / 1e3));
        if (vips.isEmpty())
            continue;
        QTemporaryDir out;
        QStringList arguments{QStringLiteral("-s"), QStringLiteral("120"), QStringLiteral("-o"),
                              out.filePath(QStringLiteral("%s.jpg"))};
        arguments += data.photos;
        const double ms = programMs(vips, arguments);
        if (ms > 0)
            theirs.push_back(double(data.photos.size()) / (ms / 1e3));
    }
    std::printf("  %-52s %9.1f per s  (%d thread)\n", "thumbnails through the thumbnail cache",
                median(ours), ThumbnailCache().threadCount());
    if (theirs.empty()) {
        std::printf("  vipsthumbnail not found or failed\n");
        return;
    }
    std::printf("  %-52s %9.1f per s\n", "vipsthumbnail -s 120, same files, one run",
                median(theirs));
    results.set(QStringLiteral("thumb_ratio"), median(ours) / median(theirs));
}

// One strip thumbnail of the HEIC, against vipsthumbnail on the same file: both may read the
// thumbnail the file carries.
void heicThumbnail(const Settings& settings, const DataSet& data, Results& results)
{
    if (data.heic.isEmpty())
        return;
    const double ours = medianMs(settings.repeats, [&] { imaging::makeThumbnail(data.heic); });
    results.set(QStringLiteral("heic_thumb_ms"), ours);
    std::printf("  %-52s %9.1f ms\n", "thumbnail of the 24 MP HEIC", ours);
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    if (vips.isEmpty())
        return;
    std::vector<double> theirs;
    for (int run = 0; run < settings.repeats; ++run) {
        QTemporaryDir out;
        const double ms =
            programMs(vips, {QStringLiteral("-s"), QStringLiteral("120"), QStringLiteral("-o"),
                             out.filePath(QStringLiteral("%s.jpg")), data.heic});
        if (ms > 0)
            theirs.push_back(ms);
    }
    if (theirs.empty())
        return;
    results.set(QStringLiteral("vips_heic_thumb_ms"), median(theirs));
    std::printf("  %-52s %9.1f ms\n", "vipsthumbnail -s 120, same HEIC, process included",
                median(theirs));
}

// The 24 MP JPEG XL decoded whole here, against djxl on the same file as a process of its own
// that decodes to pixels and writes nothing. libjxl 0.7 has no reduced decode that costs less,
// so the first frame shown is this whole picture too.
void jxlDecode(const Settings& settings, const DataSet& data, Results& results)
{
    if (data.jxl.isEmpty()) {
        std::printf("  cjxl not found: no JPEG XL figures\n");
        return;
    }
    const QString djxl = QStandardPaths::findExecutable(QStringLiteral("djxl"));
    if (!djxl.isEmpty()) {
        std::vector<double> times;
        for (int i = 0; i < settings.repeats; ++i)
            times.push_back(programMs(djxl, {data.jxl, QStringLiteral("--quiet")}));
        results.set(QStringLiteral("djxl_ms"), median(times));
        std::printf("  %-52s %9.1f ms\n", "djxl, to pixels, process included", median(times));
    }
    const double ours = medianMs(settings.repeats, [&] { imaging::decodeImage(data.jxl); });
    results.set(QStringLiteral("jxl_decode_ms"), ours);
    std::printf("  %-52s %9.1f ms\n", "decode of the 24 MP JPEG XL (imaging::decodeImage)", ours);
}

} // namespace

void runServiceBench(const Settings& settings, const DataSet& data, Results& results)
{
    std::printf("\nThe image service (%dx%d photos, medians of %d)\n", data.photoSize.width(),
                data.photoSize.height(), settings.repeats);
    referenceDecode(settings, data, results);
    decodeAndHistogram(settings, data, results);
    metadataAndListing(settings, data, results);
    thumbnails(settings, data, results);
    heicThumbnail(settings, data, results);
    jxlDecode(settings, data, results);
    runHdrServiceBench(settings, data, results);
    if (!data.cameraDng.isEmpty()) {
        const double ms =
            medianMs(settings.repeats, [&] { imaging::makeThumbnail(data.cameraDng); });
        results.set(QStringLiteral("dng_thumb_ms"), ms);
        std::printf("  %-52s %9.1f ms\n", "thumbnail of the 24 MP DNG", ms);
    }
    std::fflush(stdout);
}

} // namespace bench
