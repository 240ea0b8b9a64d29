// Writes the fuzzer's seeds: a small picture in every family, each behind the byte that gives
// it its extension.

#include "ApngWriter.h"
#include "Fixtures.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QStringList extensions{"jpg",  "png", "gif", "bmp", "tif", "webp", "ico", "heic", "heif",
                                 "avif", "psd", "cr2", "nef", "arw", "dng",  "orf", "rw2", "jxl"};
    QTemporaryDir scratch;
    const QImage picture = fixtures::quadrants(24, 16);
    int written = 0;
    for (int i = 0; i < extensions.size(); ++i) {
        if (!fixtures::kFamilies.contains(extensions[i]))
            continue;
        const QString file = scratch.filePath("seed." + extensions[i]);
        // One plain, one turned by its orientation property where the family has one.
        for (const int orientation : {-1, 6}) {
            if (!fixtures::writePicture(file, picture, orientation)) {
                if (orientation < 0)
                    return 1;
                continue;
            }
            const QByteArray seed = char(i) + fixtures::readFile(file);
            QFile::remove(file);
            written += fixtures::writeFile(
                out.filePath(QStringLiteral("%1-%2").arg(extensions[i]).arg(orientation)), seed);
        }
    }
    QFile gif(out.filePath("gif-animated"));
    QImage red(8, 8, QImage::Format_RGB32), blue = red;
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    written += fixtures::writeFile(gif.fileName(), char(extensions.indexOf("gif")) +
                                                       fixtures::gif({red, blue, red}, 40));
    written += fixtures::writeFile(out.filePath("psd-rle16"),
                                   char(extensions.indexOf("psd")) +
                                       fixtures::psdBytes(picture, {.depth = 16, .rle = true}));
    written += fixtures::writeFile(out.filePath("ico-sizes"),
                                   char(extensions.indexOf("ico")) + fixtures::icon({16, 32}));
    // The animations each new decoder plays: frames over a background, disposed and blended;
    // a lossy JPEG XL animation; an AVIF sequence.
    apngtest::Animation apng = apngtest::threeFrames(2);
    apng.frames[1].blend = 1;
    written += fixtures::writeFile(out.filePath("png-animated"),
                                   char(extensions.indexOf("png")) + apngtest::apng(apng));
    const fixtures::JxlRecipe animatedJxl{.lossless = false, .animated = true, .loops = 2};
    written += fixtures::writeFile(
        out.filePath("jxl-animated"),
        char(extensions.indexOf("jxl")) +
            fixtures::encodeJxl({{red, 10}, {blue, 20}, {red, 0}, {blue, 30}}, animatedJxl));
    written += fixtures::writeFile(
        out.filePath("avif-sequence"),
        char(extensions.indexOf("avif")) +
            fixtures::encodeAvif({red, blue, red}, {.durations = {40, 80, 40}}));
    return written > 0 ? 0 : 1;
}
