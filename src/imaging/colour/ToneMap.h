#pragma once

#include "imaging/colour/HdrCurves.h"
#include "imaging/colour/Primaries.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace imaging::detail {

// An HDR picture's reference white (BT.2408) is shown at the SDR screen's full white.
inline constexpr double kSdrWhiteNits = 203.0;

struct HdrSource {
    enum class Transfer { Pq, Hlg };
    Transfer transfer = Transfer::Pq;
    Primaries primaries = Primaries::Bt2020;
    // The brightest light the picture holds (clli, else mdcv, else 1000). PQ only: HLG is
    // always shown as on its nominal 1000-nit display, whose light never goes past that.
    double peakNits = 1000.0;
    bool fullRange = true;
    // Significant bits of each 16-bit sample, 8 to 16.
    int bitDepth = 10;
};

// The source for an nclx transfer and primaries, or nothing when the transfer is neither PQ
// (16) nor HLG (18). Primaries other than BT.709 (1) and P3 (12) are taken as BT.2020, which
// nearly every HDR picture uses. A peak that is not a positive number means none was given.
std::optional<HdrSource> hdrSourceFromNclx(int transfer, int primaries, bool fullRange,
                                           int bitDepth, double peakNits = 0);

// Where the mapped light goes: the matrix from linear BT.2020 (1.0 at SDR white) to the screen's
// linear RGB, and the screen's curve. Both only build tables, so a display profile may stand in
// for sRGB. A matrix with an entry beyond +-1000 is refused for the default.
struct SdrTarget {
    Matrix3 fromBt2020 = primariesConversion(Primaries::Bt2020, Primaries::Bt709);
    std::function<double(double)> encode = srgbEncode;
};

// Maps one HDR picture onto an SDR screen: PQ decoded to light, HLG through its inverse curve
// and the 1000-nit display's system gamma 1.2; then BT.2390's EETF on each channel with the
// source's peak shown at kSdrWhiteNits, the matrix to the screen's primaries, a clip that
// keeps the hue, and the screen's curve to 8 bits. Built once per picture (about 1 ms of
// tables); mapping is then safe from several threads at once.
class ToneMapper {
public:
    explicit ToneMapper(const HdrSource& source, const SdrTarget& target = {});

    // One pixel's light after the tone map, in the source's primaries, 1.0 at SDR white.
    std::array<float, 3> toneMapped(uint16_t r, uint16_t g, uint16_t b) const;

    // `width` pixels of interleaved 16-bit little-endian samples, three or four a pixel (as
    // libheif's RRGGBB_LE and RRGGBBAA_LE chromas), to RGBX8888 or RGBA8888, alpha straight;
    // with bgra, to the bytes of RGB32 or ARGB32 (blue first), which Qt draws and converts
    // fastest. Samples beyond the bit depth count as its largest value.
    void mapRow(const uint8_t* samples, int width, bool alpha, uint8_t* out,
                bool bgra = false) const;

    // A whole picture of `height` rows `stride` bytes apart, as Format_RGBX8888 or
    // Format_RGBA8888 (with bgra, Format_RGB32 or Format_ARGB32); a null image when the stride
    // is too short for the width or the image cannot be allocated. The caller has held the
    // size to the pixel budget.
    QImage map(const uint8_t* data, qsizetype stride, int width, int height, bool alpha,
               bool bgra = false) const;

private:
    // The tables' addresses and the matrix, copied for each row so that the compiler need not
    // read them again after every byte the row stores.
    struct Kernel;
    Kernel kernel() const;

    bool m_hlg = false;
    int m_maxCode = 0;
    // PQ: code to mapped light, 1.0 at SDR white. HLG: code to scene light, 1.0 at its peak.
    std::vector<float> m_codeLight;
    std::vector<uint8_t> m_alpha;
    // HLG only, both indexed by light's float bits: luminance to the system gamma's gain,
    // and display light (1.0 at 1000 nits) to the tone map's gain onto SDR white.
    std::vector<float> m_gammaGain;
    std::vector<float> m_eetfGain;
    std::array<float, 3> m_luminance{};
    std::array<float, 9> m_matrix{};
    std::vector<uint8_t> m_encode;
};

} // namespace imaging::detail
