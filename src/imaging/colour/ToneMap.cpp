#include "imaging/colour/ToneMap.h"

#include <algorithm>
#include <bit>
#include <cmath>

// The tone map is BT.2390's EETF on each PQ-encoded channel of the source's own RGB, with the
// screen's peak at SDR white (203 nits), before the matrix: that is what gives the agreed
// figures for a 1000-nit source, white at 203 nits as grey 229, BT.709 red at 203 nits as
// (249, 13, 1), BT.2020 green at 203 nits as (0, 242, 0). Applied to maxRGB or to luminance
// with the colour's ratios kept, the red comes out (249, 0, 0) or (255, 0, 0): its green of 13
// is the curve lifting the red's small BT.2020 green and blue against its compressed red.
// Reference white shows at 78 % of full white, leaving the rest for highlights.

namespace imaging::detail {

namespace {

constexpr double kHlgPeakNits = 1000.0;
constexpr double kHlgSystemGamma = 1.2;
// Steps of linear light into the output curve: within 0.1 of a level near black.
constexpr int kEncodeSize = 1 << 14;

// HLG's gains are looked up by the float bits of light: 128 steps an octave, from 2^-20
// (a thousandth of a nit) up to 1.0, so within 0.4 % wherever the light shows.
constexpr int kLogOctaves = 20;
constexpr int kLogStepBits = 7;
constexpr int kLogShift = 23 - kLogStepBits;
constexpr int kLogBase = (127 - kLogOctaves) << kLogStepBits;
constexpr int kLogSize = (kLogOctaves << kLogStepBits) + 1;

inline int logIndex(float light)
{
    return std::clamp((std::bit_cast<int32_t>(light) >> kLogShift) - kLogBase, 0, kLogSize - 1);
}

// f at the middle of each step of logIndex(), and at 1.0 for the last.
template <typename F> std::vector<float> logTable(F f)
{
    std::vector<float> table(kLogSize);
    for (int i = 0; i < kLogSize; ++i) {
        const double low = double(std::bit_cast<float>((i + kLogBase) << kLogShift));
        const double middle = low * (1.0 + 0.5 / (1 << kLogStepBits));
        table[size_t(i)] = float(f(i == kLogSize - 1 ? 1.0 : middle));
    }
    return table;
}

// Both on the floats' bits: GCC turns float comparisons here into branches, which a photo's
// shadows mispredict, and will not vectorise them. Negative light goes to zero by its sign
// bit; non-negative floats order as their bits do.
inline float positive(float v)
{
    const int32_t bits = std::bit_cast<int32_t>(v);
    return std::bit_cast<float>(bits & ~(bits >> 31));
}

inline float larger(float a, float b)
{
    return std::bit_cast<float>(std::max(std::bit_cast<int32_t>(a), std::bit_cast<int32_t>(b)));
}

double sanePeak(double nits)
{
    return std::isfinite(nits) && nits > 0 ? std::min(nits, 10000.0) : 1000.0;
}

// Products that cannot overflow into infinities, whose sums would be NaN indices.
bool isSane(const Matrix3& m)
{
    return std::all_of(m.begin(), m.end(), [](const auto& row) {
        return std::all_of(row.begin(), row.end(), [](double v) { return std::abs(v) <= 1000; });
    });
}

} // namespace

std::optional<HdrSource> hdrSourceFromNclx(int transfer, int primaries, bool fullRange,
                                           int bitDepth, double peakNits)
{
    if (transfer != 16 && transfer != 18)
        return std::nullopt;
    HdrSource source;
    source.transfer = transfer == 16 ? HdrSource::Transfer::Pq : HdrSource::Transfer::Hlg;
    source.primaries = primaries == 1    ? Primaries::Bt709
                       : primaries == 12 ? Primaries::DisplayP3
                                         : Primaries::Bt2020;
    source.peakNits = sanePeak(peakNits);
    source.fullRange = fullRange;
    source.bitDepth = bitDepth;
    return source;
}

ToneMapper::ToneMapper(const HdrSource& source, const SdrTarget& target)
    : m_hlg(source.transfer == HdrSource::Transfer::Hlg)
{
    const int bits = std::clamp(source.bitDepth, 8, 16);
    m_maxCode = (1 << bits) - 1;
    const double peak = sanePeak(source.peakNits);
    const double unit = double(1 << (bits - 8)); // narrow range: black at 16, white at 235
    m_codeLight.resize(size_t(m_maxCode) + 1);
    m_alpha.resize(size_t(m_maxCode) + 1);
    for (int code = 0; code <= m_maxCode; ++code) {
        const double signal =
            source.fullRange ? code / double(m_maxCode) : (code - 16 * unit) / (219 * unit);
        m_codeLight[size_t(code)] =
            float(m_hlg ? hlgToScene(signal)
                        : bt2390Eetf(pqToNits(signal), peak, kSdrWhiteNits) / kSdrWhiteNits);
        m_alpha[size_t(code)] = uint8_t(std::lround(code * 255.0 / m_maxCode));
    }

    const Matrix3 toBt2020 = primariesConversion(source.primaries, Primaries::Bt2020);
    const Matrix3 matrix =
        multiply(isSane(target.fromBt2020) ? target.fromBt2020 : SdrTarget().fromBt2020, toBt2020);
    for (size_t i = 0; i < 9; ++i)
        m_matrix[i] = float(matrix[i / 3][i % 3]);

    if (m_hlg) {
        // BT.2100's OOTF: display light = 1000 nits * Ys^(gamma - 1) * scene light.
        const Matrix3 xyz = toXyz(source.primaries);
        m_luminance = {float(xyz[1][0]), float(xyz[1][1]), float(xyz[1][2])};
        m_gammaGain = logTable([](double y) { return std::pow(y, kHlgSystemGamma - 1); });
        m_eetfGain = logTable([](double light) {
            const double nits = light * kHlgPeakNits;
            return bt2390Eetf(nits, kHlgPeakNits, kSdrWhiteNits) / kSdrWhiteNits / light;
        });
    }

    const auto& encode = target.encode ? target.encode : srgbEncode;
    m_encode.resize(kEncodeSize);
    for (int i = 0; i < kEncodeSize; ++i) {
        const double v = encode(i / double(kEncodeSize - 1));
        m_encode[size_t(i)] =
            uint8_t(std::lround(std::isfinite(v) ? std::clamp(v, 0.0, 1.0) * 255 : 0));
    }
}

struct ToneMapper::Kernel {
    const float* codeLight;
    const float* gammaGain;
    const float* eetfGain;
    const uint8_t* alpha;
    const uint8_t* encode;
    std::array<float, 3> luminance;
    std::array<float, 9> matrix;
    int maxCode;

    int code(const uint8_t* sample) const
    {
        return std::min<int>(sample[0] | (sample[1] << 8), maxCode);
    }

    // Pixels go through in runs: the table look-ups one by one, then the matrix, the clip and
    // the curve's index for the whole run at once, a loop of fixed length the compiler can
    // vectorise. The run's unused tail keeps the previous run's light, always finite.
    static constexpr int kRun = 64;
    struct Run {
        alignas(16) float light[3][kRun] = {};
        alignas(16) int32_t index[3][kRun] = {};
        alignas(16) float gain[kRun] = {};
    };

    // HLG's scene light to display light and on through the tone map: the table indices for a
    // whole run at once, vectorised, between the look-ups one by one.
    void hlgToneMap(Run& run, int count) const
    {
        for (int i = 0; i < kRun; ++i)
            run.index[0][i] =
                logIndex(luminance[0] * run.light[0][i] + luminance[1] * run.light[1][i] +
                         luminance[2] * run.light[2][i]);
        for (int i = 0; i < count; ++i)
            run.gain[i] = gammaGain[run.index[0][i]];
        for (int c = 0; c < 3; ++c) {
            for (int i = 0; i < kRun; ++i) {
                run.light[c][i] *= run.gain[i];
                run.index[c][i] = logIndex(run.light[c][i]);
            }
            for (int i = 0; i < count; ++i)
                run.light[c][i] *= eetfGain[run.index[c][i]];
        }
    }

    void toIndices(Run& run) const
    {
        const float* m = matrix.data();
        constexpr float kLast = float(kEncodeSize - 1);
        for (int i = 0; i < kRun; ++i) {
            const float c0 = run.light[0][i];
            const float c1 = run.light[1][i];
            const float c2 = run.light[2][i];
            const float r = positive(m[0] * c0 + m[1] * c1 + m[2] * c2);
            const float g = positive(m[3] * c0 + m[4] * c1 + m[5] * c2);
            const float b = positive(m[6] * c0 + m[7] * c1 + m[8] * c2);
            // Where a channel clips, all three scale down together: the hue stays, the light
            // gives. top * (1 / top) rounds to at most 1 + 2^-23, still the last index.
            const float scale = kLast / larger(larger(larger(r, g), b), 1.0f);
            run.index[0][i] = int32_t(r * scale + 0.5f);
            run.index[1][i] = int32_t(g * scale + 0.5f);
            run.index[2][i] = int32_t(b * scale + 0.5f);
        }
    }
};

namespace {

template <bool Hlg, bool Alpha, bool Bgra, typename Kernel>
void mapPixels(const Kernel& kernel, const uint8_t* samples, int width, uint8_t* out)
{
    constexpr int kRed = Bgra ? 2 : 0;
    constexpr int kBlue = Bgra ? 0 : 2;
    constexpr int kStep = Alpha ? 8 : 6;
    typename Kernel::Run run;
    for (int x = 0; x < width; x += Kernel::kRun) {
        const int count = std::min(Kernel::kRun, width - x);
        const uint8_t* in = samples + qsizetype(x) * kStep;
        for (int i = 0; i < count; ++i, in += kStep) {
            run.light[0][i] = kernel.codeLight[kernel.code(in)];
            run.light[1][i] = kernel.codeLight[kernel.code(in + 2)];
            run.light[2][i] = kernel.codeLight[kernel.code(in + 4)];
        }
        if constexpr (Hlg)
            kernel.hlgToneMap(run, count);
        kernel.toIndices(run);
        uint8_t* pixel = out + qsizetype(x) * 4;
        in = samples + qsizetype(x) * kStep;
        for (int i = 0; i < count; ++i, pixel += 4, in += kStep) {
            pixel[kRed] = kernel.encode[run.index[0][i]];
            pixel[1] = kernel.encode[run.index[1][i]];
            pixel[kBlue] = kernel.encode[run.index[2][i]];
            pixel[3] = Alpha ? kernel.alpha[kernel.code(in + 6)] : 255;
        }
    }
}

} // namespace

ToneMapper::Kernel ToneMapper::kernel() const
{
    return {m_codeLight.data(), m_gammaGain.data(), m_eetfGain.data(), m_alpha.data(),
            m_encode.data(),    m_luminance,        m_matrix,          m_maxCode};
}

std::array<float, 3> ToneMapper::toneMapped(uint16_t r, uint16_t g, uint16_t b) const
{
    const Kernel k = kernel();
    Kernel::Run run;
    const uint16_t codes[3] = {r, g, b};
    for (int c = 0; c < 3; ++c)
        run.light[c][0] = m_codeLight[size_t(std::min<int>(codes[c], m_maxCode))];
    if (m_hlg)
        k.hlgToneMap(run, 1);
    return {run.light[0][0], run.light[1][0], run.light[2][0]};
}

namespace {

template <bool Bgra, typename Kernel>
void mapRowAs(const Kernel& k, bool hlg, bool alpha, const uint8_t* samples, int width,
              uint8_t* out)
{
    if (hlg)
        alpha ? mapPixels<true, true, Bgra>(k, samples, width, out)
              : mapPixels<true, false, Bgra>(k, samples, width, out);
    else
        alpha ? mapPixels<false, true, Bgra>(k, samples, width, out)
              : mapPixels<false, false, Bgra>(k, samples, width, out);
}

} // namespace

void ToneMapper::mapRow(const uint8_t* samples, int width, bool alpha, uint8_t* out,
                        bool bgra) const
{
    const Kernel k = kernel();
    if (bgra)
        mapRowAs<true>(k, m_hlg, alpha, samples, width, out);
    else
        mapRowAs<false>(k, m_hlg, alpha, samples, width, out);
}

QImage ToneMapper::map(const uint8_t* data, qsizetype stride, int width, int height, bool alpha,
                       bool bgra) const
{
    if (!data || width <= 0 || height <= 0 || stride < qsizetype(width) * (alpha ? 8 : 6))
        return {};
    const QImage::Format format = bgra    ? alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32
                                  : alpha ? QImage::Format_RGBA8888
                                          : QImage::Format_RGBX8888;
    QImage image(width, height, format);
    if (image.isNull())
        return {};
    for (int y = 0; y < height; ++y)
        mapRow(data + qsizetype(y) * stride, width, alpha, image.scanLine(y), bgra);
    return image;
}

} // namespace imaging::detail
