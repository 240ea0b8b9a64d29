#pragma once

#include <QImage>
#include <QtGlobal>

#include <array>
#include <optional>

namespace imaging {

// How many sampled pixels have each 8-bit value as shown, per channel.
struct HistogramData {
    using Counts = std::array<qint64, 256>;
    Counts red{};
    Counts green{};
    Counts blue{};

    bool operator==(const HistogramData&) const = default;
};

// Every pixel below a million; above, every (n / 500,000)th pixel in memory order, so a
// count reads at most 750,000 pixels whatever the image size.
qint64 histogramSamplingStep(qint64 pixelCount);

// Counts the image's colours as the screen shows them (in its profile, for a picture decoded
// for it; otherwise as sRGB), transparent parts composed over black. Nothing for an
// empty image. Pure pixel work, safe from any thread: the viewer runs it in the background.
std::optional<HistogramData> computeHistogram(const QImage& image);

} // namespace imaging
