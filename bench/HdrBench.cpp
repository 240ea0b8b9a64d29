#include "HdrBench.h"

#include "../tests/imaging/Fixtures.h"

#include "imaging/ImageService.h"
#include "imaging/pixels/Thumbnail.h"

#include <cmath>
#include <cstdio>

namespace bench {

namespace {

double srgbToLinear(double v)
{
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

int pqCode(double nits)
{
    const double m1 = 0.1593017578125, m2 = 78.84375;
    const double c1 = 0.8359375, c2 = 18.8515625, c3 = 18.6875;
    const double y = std::pow(std::clamp(nits, 0.0, 10000.0) / 10000, m1);
    return int(std::lround(std::pow((c1 + c2 * y) / (1 + c3 * y), m2) * 1023));
}

// The photo as 10-bit codes in 16-bit samples: its sRGB values as they are, or its light with
// white at 203 nits and the brightest parts lifted towards 800, in BT.2020 and PQ.
QImage tenBitCodes(const QImage& photo, bool hdr)
{
    std::array<int, 256> sdrCode{};
    std::array<double, 256> light{};
    for (int v = 0; v < 256; ++v) {
        sdrCode[size_t(v)] = int(std::lround(v * 1023.0 / 255));
        const double linear = srgbToLinear(v / 255.0);
        light[size_t(v)] = 203 * linear * (1 + 3 * std::pow(linear, 4));
    }
    const QImage rgb = photo.convertToFormat(QImage::Format_RGB32);
    QImage out(rgb.size(), QImage::Format_RGBX64);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        auto* line = reinterpret_cast<QRgba64*>(out.scanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const int r = qRed(in[x]), g = qGreen(in[x]), b = qBlue(in[x]);
            std::array<int, 3> code{sdrCode[size_t(r)], sdrCode[size_t(g)], sdrCode[size_t(b)]};
            if (hdr) {
                // BT.709 to BT.2020 (BT.2087).
                const double lr = light[size_t(r)], lg = light[size_t(g)], lb = light[size_t(b)];
                code = {pqCode(0.6274 * lr + 0.3293 * lg + 0.0433 * lb),
                        pqCode(0.0691 * lr + 0.9195 * lg + 0.0114 * lb),
                        pqCode(0.0164 * lr + 0.0880 * lg + 0.8956 * lb)};
            }
            line[x] = qRgba64(quint16(code[0] << 6), quint16(code[1] << 6), quint16(code[2] << 6),
                              0xFFFF);
        }
    }
    return out;
}

} // namespace

bool writeHdrPair(const QString& photo, const QString& hdr, const QString& sdr)
{
    const QImage picture(photo);
    if (picture.isNull())
        return false;
    fixtures::HeifParams params{.nclxPrimaries = 9,
                                .nclxTransfer = 16,
                                .nclxMatrix = 9,
                                .bitDepth = 10,
                                .thumbnailSide = 320};
    if (!fixtures::writeHeif(hdr, tenBitCodes(picture, true), params))
        return false;
    params.nclxPrimaries = 1;
    params.nclxTransfer = 13;
    params.nclxMatrix = 1;
    return fixtures::writeHeif(sdr, tenBitCodes(picture, false), params);
}

void runHdrServiceBench(const Settings& settings, const DataSet& data, Results& results)
{
    if (data.hdrHeic.isEmpty() || data.sdrHeic.isEmpty())
        return;
    const auto decodeMs = [&](const QString& file) {
        return medianMs(settings.repeats, [&] { imaging::decodeImage(file); });
    };
    const auto thumbnailMs = [&](const QString& file) {
        return medianMs(settings.repeats, [&] { imaging::makeThumbnail(file); });
    };
    const double hdr = decodeMs(data.hdrHeic), sdr = decodeMs(data.sdrHeic);
    const double hdrThumb = thumbnailMs(data.hdrHeic), sdrThumb = thumbnailMs(data.sdrHeic);
    results.set(QStringLiteral("hdr_heic_decode_ms"), hdr);
    results.set(QStringLiteral("sdr_heic_decode_ms"), sdr);
    results.set(QStringLiteral("hdr_heic_thumb_ms"), hdrThumb);
    std::printf("  %-52s %9.1f ms\n", "decode, 24 MP 10-bit SDR HEIC", sdr);
    std::printf("  %-52s %9.1f ms  (x%.2f)\n", "decode, the same as HDR (PQ, tone-mapped)", hdr,
                hdr / sdr);
    std::printf("  %-52s %9.1f ms\n", "thumbnail of the 10-bit SDR HEIC", sdrThumb);
    std::printf("  %-52s %9.1f ms  (x%.2f)\n", "thumbnail of the HDR HEIC", hdrThumb,
                hdrThumb / sdrThumb);
}

} // namespace bench
