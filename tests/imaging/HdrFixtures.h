#pragma once

#include "Fixtures.h"

#include <QColorSpace>
#include <QProcess>
#include <QStandardPaths>

#include <array>
#include <cmath>

// HDR pictures of patches of known light, and the screens' profiles they are shown on.
namespace fixtures {

// Linear BT.2020 light in nits.
using Light = std::array<double, 3>;

inline const Light kDiffuseWhite{203, 203, 203};
// BT.709 red at 203 nits, in BT.2020 (BT.2087's matrix).
inline const Light kBt709Red{203 * 0.6274, 203 * 0.0691, 203 * 0.0164};
inline const Light kBt2020Green{0, 203, 0};

// What BT.2390's tone map with 203-nit white at SDR white gives these on an sRGB screen.
inline const QRgb kToneMappedWhite = qRgb(229, 229, 229);
inline const QRgb kToneMappedRed = qRgb(249, 13, 1);
inline const QRgb kToneMappedGreen = qRgb(0, 242, 0);

inline int pqCode(double nits, int bits = 10)
{
    const double m1 = 0.1593017578125, m2 = 78.84375;
    const double c1 = 0.8359375, c2 = 18.8515625, c3 = 18.6875;
    const double y = std::pow(nits / 10000, m1);
    return int(std::lround(std::pow((c1 + c2 * y) / (1 + c3 * y), m2) * ((1 << bits) - 1)));
}

// The HLG codes that a 1000-nit display (system gamma 1.2) shows as this light.
inline std::array<int, 3> hlgCodes(const Light& light, int bits = 10)
{
    const double a = 0.17883277, b = 0.28466892, c = 0.55991073;
    const double displayY = (0.2627 * light[0] + 0.6780 * light[1] + 0.0593 * light[2]) / 1000;
    const double sceneY = std::pow(displayY, 1 / 1.2);
    std::array<int, 3> codes{};
    for (size_t i = 0; i < 3; ++i) {
        const double e = sceneY > 0 ? light[i] / 1000 / std::pow(sceneY, 0.2) : 0;
        const double signal = e <= 1.0 / 12 ? std::sqrt(3 * e) : a * std::log(12 * e - b) + c;
        codes[i] = int(std::lround(signal * ((1 << bits) - 1)));
    }
    return codes;
}

inline std::array<int, 3> pqCodes(const Light& light, int bits = 10)
{
    return {pqCode(light[0], bits), pqCode(light[1], bits), pqCode(light[2], bits)};
}

// The patches side by side, each side x side, as 16-bit samples holding 10-bit codes in their
// top bits (what writeHeif takes for a 10-bit picture).
inline QImage patchPicture(const QList<std::array<int, 3>>& patches, int side)
{
    QImage image(side * int(patches.size()), side, QImage::Format_RGBX64);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgba64*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const std::array<int, 3>& code = patches[x / side];
            line[x] = qRgba64(quint16(code[0] << 6), quint16(code[1] << 6), quint16(code[2] << 6),
                              0xFFFF);
        }
    }
    return image;
}

// White, BT.709 red and BT.2020 green in PQ (16) or HLG (18) codes.
inline QImage hdrPatches(int transfer, int side)
{
    const auto codes = [transfer](const Light& light) {
        return transfer == 18 ? hlgCodes(light) : pqCodes(light);
    };
    return patchPicture({codes(kDiffuseWhite), codes(kBt709Red), codes(kBt2020Green)}, side);
}

// A 10-bit HEIC (or AVIF) with nclx 9/transfer/0, full range, lossless: the RGB codes come back
// exactly as written. Phones write matrix 9 (BT.2020 YCbCr), whose 10-bit rounding moves
// BT.709 red's small green code by one, and that alone by three levels on screen once BT.2020
// is brought to sRGB; the patches' light is only exact without it.
inline bool writeHdrHeif(const QString& path, const QImage& patches, int transfer,
                         HeifParams params = {})
{
    params.nclxPrimaries = 9;
    params.nclxTransfer = transfer;
    params.nclxMatrix = 0;
    params.bitDepth = 10;
    params.lossless = true;
    return writeHeif(path, patches, params);
}

// A PQ AVIF written by avifenc from a 16-bit PNG, as a camera's HDR export would be: BT.2020
// YCbCr 4:4:4 (matrix 9), or with `exact` lossless RGB (matrix 0).
inline bool writePqAvif(const QString& path, const QImage& patches, bool exact = true)
{
    const QString encoder = QStandardPaths::findExecutable(QStringLiteral("avifenc"));
    if (encoder.isEmpty())
        return false;
    // avifenc scales 16-bit samples to 10 bits: the codes spread over the whole 16-bit range.
    QImage wide = patches;
    for (int y = 0; y < wide.height(); ++y) {
        auto* line = reinterpret_cast<QRgba64*>(wide.scanLine(y));
        for (int x = 0; x < wide.width(); ++x) {
            const auto spread = [](quint16 v) {
                return quint16(std::lround((v >> 6) * 65535.0 / 1023));
            };
            line[x] = qRgba64(spread(line[x].red()), spread(line[x].green()),
                              spread(line[x].blue()), 0xFFFF);
        }
    }
    const QString png = path + QStringLiteral(".png");
    if (!wide.save(png))
        return false;
    QProcess process;
    QStringList arguments{QStringLiteral("-d"),  QStringLiteral("10"), QStringLiteral("-y"),
                          QStringLiteral("444"), QStringLiteral("-r"), QStringLiteral("full")};
    if (exact)
        arguments << QStringLiteral("-l") << QStringLiteral("--cicp") << QStringLiteral("9/16/0");
    else
        arguments << QStringLiteral("--cicp") << QStringLiteral("9/16/9") << QStringLiteral("--min")
                  << QStringLiteral("0") << QStringLiteral("--max") << QStringLiteral("4");
    process.start(encoder, arguments << png << path);
    const bool ok = process.waitForFinished(120000) &&
                    process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    QFile::remove(png);
    return ok && QFile::exists(path);
}

// How far apart two colours are: the largest difference of a channel.
inline int colourDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

inline QString rgbText(QRgb c)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

} // namespace fixtures
