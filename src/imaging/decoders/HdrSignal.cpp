#include "imaging/decoders/HdrSignal.h"

#include "imaging/support/ImageBuffer.h"

#include <QColorSpace>
#include <QSysInfo>
#include <QtEndian>

#include <cmath>
#include <vector>

namespace imaging::detail {

HdrSource hdrSourceOf(const HdrSignal& signal)
{
    constexpr double kNear = 0.005;
    constexpr double kUntold = 10000;
    HdrSource source;
    source.transfer =
        signal.transfer == HdrSignal::Transfer::Hlg ? HdrSource::Transfer::Hlg : HdrSource::Transfer::Pq;
    const double redX = signal.red.x();
    source.primaries = std::abs(redX - 0.64) < kNear   ? Primaries::Bt709
                       : std::abs(redX - 0.68) < kNear ? Primaries::DisplayP3
                                                       : Primaries::Bt2020;
    // 0 lets the mapper take its own default.
    source.peakNits = signal.peakLuminance < kUntold ? signal.peakLuminance : 0;
    source.fullRange = true;
    source.bitDepth = 16;
    return source;
}

HdrToSdr::HdrToSdr(const HdrSignal& signal) : m_mapper(hdrSourceOf(signal)) {}

QImage HdrToSdr::map(const QImage& signal, bool alpha) const
{
    if (signal.format() != QImage::Format_RGBA64)
        return {};
    QImage out = newImage(signal.width(), signal.height(),
                          alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    if (out.isNull())
        return {};
    // The mapper reads little-endian samples; alpha comes through as 255 where there is none.
    std::vector<quint16> swapped;
    for (int y = 0; y < signal.height(); ++y) {
        const auto* row = reinterpret_cast<const quint16*>(signal.constScanLine(y));
        if constexpr (QSysInfo::ByteOrder == QSysInfo::BigEndian) {
            swapped.resize(size_t(signal.width()) * 4);
            qToLittleEndian<quint16>(row, qsizetype(swapped.size()), swapped.data());
            row = swapped.data();
        }
        m_mapper.mapRow(reinterpret_cast<const uint8_t*>(row), signal.width(), true,
                        out.scanLine(y));
    }
    out.setColorSpace(QColorSpace::SRgb);
    return out;
}

} // namespace imaging::detail
