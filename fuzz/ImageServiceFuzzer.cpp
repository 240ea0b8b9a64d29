// libFuzzer target over every read entry point of the image service. The first byte of an input
// picks the file's extension (raw and HEIF files are routed by it); the rest is the file.

#include "imaging/AnimatedImage.h"
#include "imaging/ImageService.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <iterator>

namespace {

constexpr const char* kExtensions[] = {"jpg", "png",  "gif",  "bmp",  "tif", "webp",
                                       "ico", "heic", "heif", "avif", "psd", "cr2",
                                       "nef", "arw",  "dng",  "orf",  "rw2"};
constexpr int kFramesPlayed = 4;

QTemporaryDir* g_dir = nullptr;

// Damaged inputs make Qt's image plugins talk; the viewer drops that, and so does the fuzzer.
void dropMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qInstallMessageHandler(dropMessages);
    static QCoreApplication app(*argc, *argv);
    // On tmpfs when there is one: every input is written out as a file.
    g_dir = new QTemporaryDir(QFile::exists("/dev/shm") ? "/dev/shm/pelu-fuzz-XXXXXX"
                                                        : QDir::tempPath() + "/pelu-fuzz-XXXXXX");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QString path = g_dir->filePath(
        QStringLiteral("input.") + QLatin1String(kExtensions[data[0] % std::size(kExtensions)]));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    file.close();

    imaging::detectImageType(path);
    imaging::readImageProperties(path);
    imaging::extractMetadata(path);
    imaging::DecodeFailure why = imaging::DecodeFailure::none;
    imaging::decodeImage(path, &why);
    imaging::decodeAsStored(path);
    imaging::makeThumbnail(path);
    imaging::AnimatedImage animation(path);
    for (int i = 0; i < std::min(animation.frameCount(), kFramesPlayed); ++i)
        animation.nextFrame();
    return 0;
}
