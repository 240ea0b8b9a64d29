// libFuzzer target over every read entry point of the image service, and over the rotation
// rewrite with its own property as the oracle. The first byte of an input picks the file's
// extension (raw and HEIF files are routed by it); the rest is the file.

#include "imaging/AnimatedImage.h"
#include "imaging/ImageService.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <iterator>

namespace {

constexpr const char* kExtensions[] = {"jpg", "png",  "gif",  "bmp",  "tif", "webp",
                                       "ico", "heic", "heif", "avif", "psd", "cr2",
                                       "nef", "arw",  "dng",  "orf",  "rw2", "jxl"};
constexpr int kFramesPlayed = 4;

QTemporaryDir* g_dir = nullptr;

// Damaged inputs make Qt's image plugins talk; the viewer drops that, and so does the fuzzer.
void dropMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

QImage argb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A rotation leaves the original byte for byte as it was, and either writes nothing or a file
// that shows the picture turned: exactly, where only the orientation value changed.
void checkRotation(const QString& path, const QByteArray& bytes, const std::optional<QImage>& shown)
{
    const QString turned = path + QStringLiteral(".turned.") + QFileInfo(path).suffix();
    QFile::remove(turned);
    const bool written = imaging::writeRotatedFile(path, turned, 1);
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly) || original.readAll() != bytes)
        std::abort();
    if (!written) {
        if (QFile::exists(turned))
            std::abort();
        return;
    }
    const std::optional<QImage> after = imaging::decodeImage(turned);
    if (!shown || !after || after->size() != shown->size().transposed())
        std::abort();
    if (imaging::supportsLosslessRotation(imaging::detectImageType(path)) &&
        argb(*after) != argb(imaging::turnedClockwise(*shown, 1)))
        std::abort();
    QFile::remove(turned);
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
    const std::optional<QImage> shown = imaging::decodeImage(path, &why);
    imaging::decodeAsStored(path);
    imaging::makeThumbnail(path);
    imaging::AnimatedImage animation(path);
    for (int i = 0; i < std::min(animation.frameCount(), kFramesPlayed); ++i)
        animation.nextFrame();
    checkRotation(path, QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)),
                  shown);
    return 0;
}
