#include "imaging/colour/ToneMap.h"

#include <QtTest>

#include <cmath>

using namespace imaging::detail;
using Transfer = HdrSource::Transfer;
using Rgb = std::array<double, 3>;

namespace {

// The formulas again, written from ITU-R BT.2100, BT.2390 and BT.2087 and not from the code.
namespace reference {

const double m1 = 0.1593017578125, m2 = 78.84375;
const double c1 = 0.8359375, c2 = 18.8515625, c3 = 18.6875;

double pqToNits(double e)
{
    const double p = std::pow(e, 1 / m2);
    return 10000 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1 / m1);
}

double nitsToPq(double nits)
{
    const double y = std::pow(nits / 10000, m1);
    return std::pow((c1 + c2 * y) / (1 + c3 * y), m2);
}

const double hlgA = 0.17883277, hlgB = 0.28466892, hlgC = 0.55991073;

double hlgOetf(double e)
{
    return e <= 1.0 / 12 ? std::sqrt(3 * e) : hlgA * std::log(12 * e - hlgB) + hlgC;
}

double hlgInverseOetf(double s)
{
    return s <= 0.5 ? s * s / 3 : (std::exp((s - hlgC) / hlgA) + hlgB) / 12;
}

// BT.2390's EETF with its black terms (Lb = Lmin = 0), from a source mastered at lw nits onto
// a 203-nit screen.
double eetf(double nits, double lw)
{
    const double lb = 0, lmin = 0, lmax = 203;
    if (lw <= lmax)
        return nits;
    const double span = nitsToPq(lw) - nitsToPq(lb);
    const double e1 = std::min((nitsToPq(nits) - nitsToPq(lb)) / span, 1.0);
    const double minLum = (nitsToPq(lmin) - nitsToPq(lb)) / span;
    const double maxLum = (nitsToPq(lmax) - nitsToPq(lb)) / span;
    const double ks = 1.5 * maxLum - 0.5;
    const double t = (e1 - ks) / (1 - ks);
    const double e2 = e1 < ks ? e1
                              : (2 * t * t * t - 3 * t * t + 1) * ks +
                                    (t * t * t - 2 * t * t + t) * (1 - ks) +
                                    (-2 * t * t * t + 3 * t * t) * maxLum;
    const double e3 = e2 + minLum * std::pow(1 - e2, 4);
    return pqToNits(e3 * span + nitsToPq(lb));
}

const double lumaR = 0.2627, lumaG = 0.6780, lumaB = 0.0593;

// Display light of a 1000-nit HLG display, system gamma 1.2.
Rgb hlgDisplay(const Rgb& scene)
{
    const double ys = lumaR * scene[0] + lumaG * scene[1] + lumaB * scene[2];
    const double gain = 1000 * std::pow(ys, 0.2);
    return {gain * scene[0], gain * scene[1], gain * scene[2]};
}

// BT.2087's matrices from linear BT.2020 to BT.709 and back.
const double to709[3][3] = {
    {1.6605, -0.5876, -0.0728}, {-0.1246, 1.1329, -0.0083}, {-0.0182, -0.1006, 1.1187}};
const double to2020[3][3] = {
    {0.6274, 0.3293, 0.0433}, {0.0691, 0.9195, 0.0114}, {0.0164, 0.0880, 0.8956}};

Rgb times(const double m[3][3], const Rgb& v)
{
    return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2],
            m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
            m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

// BT.2020 display light in nits to 8-bit sRGB: tone map, matrix, hue-keeping clip, curve.
std::array<int, 3> sdr(const Rgb& nits, double peak)
{
    Rgb light{};
    for (size_t c = 0; c < 3; ++c)
        light[c] = eetf(nits[c], peak) / 203;
    Rgb out = times(to709, light);
    for (double& v : out)
        v = std::max(v, 0.0);
    const double top = std::max({out[0], out[1], out[2], 1.0});
    std::array<int, 3> levels{};
    for (size_t c = 0; c < 3; ++c) {
        const double v = out[c] / top;
        const double encoded = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
        levels[c] = int(std::lround(encoded * 255));
    }
    return levels;
}

} // namespace reference

struct Coding {
    int bits = 10;
    bool full = true;
    int code(double signal) const
    {
        const double unit = std::ldexp(1.0, bits - 8);
        return int(
            std::lround(full ? signal * (std::ldexp(1.0, bits) - 1) : (16 + 219 * signal) * unit));
    }
    double signal(int code) const
    {
        const double unit = std::ldexp(1.0, bits - 8);
        return std::clamp(full ? code / (std::ldexp(1.0, bits) - 1) : (code / unit - 16) / 219, 0.0,
                          1.0);
    }
};

ToneMapper mapperFor(Transfer transfer, double peak, Coding coding)
{
    HdrSource source;
    source.transfer = transfer;
    source.peakNits = peak;
    source.bitDepth = coding.bits;
    source.fullRange = coding.full;
    return ToneMapper(source);
}

// BT.2020 display light in nits as the codes of a PQ or HLG picture.
std::array<uint16_t, 3> encode(const Rgb& nits, Transfer transfer, Coding coding)
{
    Rgb signal{};
    if (transfer == Transfer::Pq) {
        for (size_t c = 0; c < 3; ++c)
            signal[c] = reference::nitsToPq(nits[c]);
    } else {
        // The scene light that the 1000-nit display shows as these nits.
        const double yd =
            (reference::lumaR * nits[0] + reference::lumaG * nits[1] + reference::lumaB * nits[2]) /
            1000;
        const double ys = std::pow(yd, 1 / 1.2);
        for (size_t c = 0; c < 3; ++c)
            signal[c] = reference::hlgOetf(ys > 0 ? nits[c] / 1000 / std::pow(ys, 0.2) : 0);
    }
    return {uint16_t(coding.code(signal[0])), uint16_t(coding.code(signal[1])),
            uint16_t(coding.code(signal[2]))};
}

// The display light those codes stand for, as the reference decodes them.
Rgb decode(const std::array<uint16_t, 3>& codes, Transfer transfer, Coding coding)
{
    Rgb light{};
    for (size_t c = 0; c < 3; ++c) {
        const double s = coding.signal(codes[c]);
        light[c] = transfer == Transfer::Pq ? reference::pqToNits(s) : reference::hlgInverseOetf(s);
    }
    return transfer == Transfer::Pq ? light : reference::hlgDisplay(light);
}

std::array<int, 3> mapOne(const ToneMapper& mapper, const std::array<uint16_t, 3>& codes)
{
    uint8_t samples[6];
    for (size_t c = 0; c < 3; ++c) {
        samples[2 * c] = uint8_t(codes[c] & 0xff);
        samples[2 * c + 1] = uint8_t(codes[c] >> 8);
    }
    uint8_t out[4];
    mapper.mapRow(samples, 1, false, out);
    return {out[0], out[1], out[2]};
}

bool near(const std::array<int, 3>& a, const std::array<int, 3>& b, int levels)
{
    for (size_t c = 0; c < 3; ++c) {
        if (std::abs(a[c] - b[c]) > levels)
            return false;
    }
    return true;
}

QByteArray show(const std::array<int, 3>& v)
{
    return QByteArray::number(v[0]) + ", " + QByteArray::number(v[1]) + ", " +
           QByteArray::number(v[2]);
}

const Rgb kWhite{203, 203, 203};
const Rgb kRed709 = reference::times(reference::to2020, {203, 0, 0});
const Rgb kGreen2020{0, 203, 0};
// Beyond BT.709: its red clips, and its green must shrink with it.
const Rgb kOrange2020{800, 250, 0};

} // namespace

Q_DECLARE_METATYPE(Transfer)

class TestToneMap : public QObject {
    Q_OBJECT

    static void addCodings()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("full");
        QTest::newRow("10-bit full") << 10 << true;
        QTest::newRow("10-bit narrow") << 10 << false;
        QTest::newRow("12-bit full") << 12 << true;
        QTest::newRow("12-bit narrow") << 12 << false;
    }

private Q_SLOTS:
    // Each code's light against the reference's, for a picture's every peak: below the knee
    // the light passes, above it the curve bends onto 203 nits, and a picture no brighter than
    // SDR white is not mapped at all.
    void pqLight_data() { addCodings(); }
    void pqLight()
    {
        QFETCH(int, bits);
        QFETCH(bool, full);
        const Coding coding{bits, full};
        for (const double peak : {1000.0, 4000.0, 10000.0, 150.0}) {
            const ToneMapper mapper = mapperFor(Transfer::Pq, peak, coding);
            for (const double nits :
                 {0.0, 0.01, 1.0, 50.0, 100.0, 203.0, 600.0, 1000.0, 4000.0, 10000.0}) {
                const int code = coding.code(reference::nitsToPq(nits));
                const double expected =
                    reference::eetf(reference::pqToNits(coding.signal(code)), peak) / 203;
                const float got = mapper.toneMapped(uint16_t(code), 0, 0)[0];
                QVERIFY2(std::abs(got - expected) < 1e-6 + 2e-5 * expected,
                         qPrintable(QString::asprintf("peak %g, %g nits: %g, expected %g", peak,
                                                      nits, got, expected)));
            }
            // The source's peak reaches SDR white and never goes past it.
            const float top = mapper.toneMapped(uint16_t(coding.code(1.0)), 0, 0)[0];
            QVERIFY(peak < 203 || std::abs(top - 1.0f) < 1e-4f);
        }
    }

    // Colours of scene light through the HLG display's gamma and the tone map, per channel,
    // within the gain tables' 0.4 %; the picture's peak plays no part.
    void hlgLight_data() { addCodings(); }
    void hlgLight()
    {
        QFETCH(int, bits);
        QFETCH(bool, full);
        const Coding coding{bits, full};
        const ToneMapper mapper = mapperFor(Transfer::Hlg, 1000, coding);
        const ToneMapper withPeak = mapperFor(Transfer::Hlg, 4000, coding);
        const Rgb scenes[] = {
            {0, 0, 0}, {0.001, 0.001, 0.001}, {0.05, 0.05, 0.05}, {0.26, 0.26, 0.26}, {1, 1, 1},
            {1, 0, 0}, {0, 0.3, 0.02},        {0.02, 0.1, 0.9},   {0.5, 0.2, 0.0005}};
        for (const Rgb& scene : scenes) {
            std::array<uint16_t, 3> codes{};
            for (size_t c = 0; c < 3; ++c)
                codes[c] = uint16_t(coding.code(reference::hlgOetf(scene[c])));
            const Rgb display = decode(codes, Transfer::Hlg, coding);
            const std::array<float, 3> got = mapper.toneMapped(codes[0], codes[1], codes[2]);
            for (size_t c = 0; c < 3; ++c) {
                const double expected = reference::eetf(display[c], 1000) / 203;
                QVERIFY2(std::abs(got[c] - expected) < 1e-5 + 4e-3 * expected,
                         qPrintable(QString::asprintf("scene %g %g %g: %g, expected %g", scene[0],
                                                      scene[1], scene[2], got[c], expected)));
            }
            QCOMPARE(withPeak.toneMapped(codes[0], codes[1], codes[2]), got);
        }
    }

    // The agreed figures for a 1000-nit picture within 2 levels, PQ and HLG alike, and every
    // patch within a level of the reference's 8 bits for the codes it was given.
    void patches_data()
    {
        QTest::addColumn<Transfer>("transfer");
        QTest::addColumn<double>("peak");
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("full");
        for (const auto& [transfer, name] :
             {std::pair{Transfer::Pq, "PQ"}, std::pair{Transfer::Hlg, "HLG"}}) {
            for (const double peak : {1000.0, 4000.0}) {
                for (const auto& [bits, full] : {std::pair{10, true}, std::pair{10, false},
                                                 std::pair{12, true}, std::pair{12, false}}) {
                    QTest::addRow("%s %g nits, %d-bit %s", name, peak, bits,
                                  full ? "full" : "narrow")
                        << transfer << peak << bits << full;
                }
            }
        }
    }

    void patches()
    {
        QFETCH(Transfer, transfer);
        QFETCH(double, peak);
        QFETCH(int, bits);
        QFETCH(bool, full);
        const Coding coding{bits, full};
        const ToneMapper mapper = mapperFor(transfer, peak, coding);
        // HLG is always shown as on its 1000-nit display. 10-bit narrow PQ codes lie 3 % of
        // light apart where the red's 14-nit BT.2020 green falls, which moves it 3 levels.
        const bool agreed = (peak == 1000 || transfer == Transfer::Hlg) &&
                            !(transfer == Transfer::Pq && bits == 10 && !full);
        const std::pair<Rgb, std::array<int, 3>> cases[] = {{kWhite, {229, 229, 229}},
                                                            {kRed709, {249, 13, 1}},
                                                            {kGreen2020, {0, 242, 0}},
                                                            {kOrange2020, {-1, -1, -1}}};
        for (const auto& [nits, target] : cases) {
            const std::array<uint16_t, 3> codes = encode(nits, transfer, coding);
            const std::array<int, 3> got = mapOne(mapper, codes);
            const double mappedPeak = transfer == Transfer::Pq ? peak : 1000;
            const std::array<int, 3> expected =
                reference::sdr(decode(codes, transfer, coding), mappedPeak);
            QVERIFY2(near(got, expected, 1), show(got) + " for " + show(expected));
            if (agreed && target[0] >= 0)
                QVERIFY2(near(got, target, 2), show(got) + " for " + show(target));
        }
    }

    // Pictures in other primaries are tone-mapped in their own: BT.709 red at 203 nits then
    // has no other channel to lift, and shows as SDR white's red; P3's, beyond BT.709, as a
    // stronger red with the other channels clipped.
    void otherPrimaries()
    {
        HdrSource source;
        source.primaries = Primaries::Bt709;
        const ToneMapper mapper(source);
        const Coding coding;
        const uint16_t red = uint16_t(coding.code(reference::nitsToPq(203)));
        const std::array<int, 3> white = mapOne(mapper, {red, red, red});
        QCOMPARE(mapOne(mapper, {red, 0, 0}), (std::array<int, 3>{white[0], 0, 0}));

        source.primaries = Primaries::DisplayP3;
        const std::array<int, 3> p3Red = mapOne(ToneMapper(source), {red, 0, 0});
        QVERIFY2(p3Red[0] > white[0] && p3Red[0] < 255 && p3Red[1] == 0 && p3Red[2] == 0,
                 show(p3Red));
    }

    // Runs of every length give each pixel what it gets alone; alpha is scaled straight, and
    // samples past the bit depth read as its top code.
    void rowsAndAlpha()
    {
        HdrSource source;
        for (const Transfer transfer : {Transfer::Pq, Transfer::Hlg}) {
            source.transfer = transfer;
            const ToneMapper mapper(source);
            for (const int width : {1, 63, 64, 65, 200}) {
                for (const bool alpha : {false, true}) {
                    const int channels = alpha ? 4 : 3;
                    std::vector<uint8_t> samples(size_t(width) * channels * 2);
                    for (size_t i = 0; i < samples.size() / 2; ++i) {
                        const int code = int((i * 389 + 7) % 1100); // a few past 1023
                        samples[2 * i] = uint8_t(code);
                        samples[2 * i + 1] = uint8_t(code >> 8);
                    }
                    std::vector<uint8_t> row(size_t(width) * 4);
                    mapper.mapRow(samples.data(), width, alpha, row.data());
                    for (int x = 0; x < width; ++x) {
                        const uint8_t* in = samples.data() + size_t(x) * channels * 2;
                        const auto at = [&](int c) {
                            return std::min(in[2 * c] | (in[2 * c + 1] << 8), 1023);
                        };
                        const std::array<int, 3> alone =
                            mapOne(mapper, {uint16_t(at(0)), uint16_t(at(1)), uint16_t(at(2))});
                        const uint8_t* out = row.data() + size_t(x) * 4;
                        QCOMPARE((std::array<int, 3>{out[0], out[1], out[2]}), alone);
                        QCOMPARE(int(out[3]), alpha ? int(std::lround(at(3) * 255.0 / 1023)) : 255);
                    }
                }
            }
        }
    }

    void wholePicture()
    {
        const ToneMapper mapper{HdrSource{}};
        const int width = 3;
        const int height = 2;
        const qsizetype stride = width * 8 + 10;
        std::vector<uint8_t> data(size_t(stride) * height, 0);
        data[0] = 0xff; // first pixel's red at 1023
        data[1] = 0x03;
        data[6] = 0xff; // its alpha opaque
        data[7] = 0x03;
        data[size_t(stride) + 8 + 6] = 0x00; // second row's middle pixel: alpha 512
        data[size_t(stride) + 8 + 7] = 0x02;
        const QImage image = mapper.map(data.data(), stride, width, height, true);
        QCOMPARE(image.format(), QImage::Format_RGBA8888);
        QCOMPARE(image.size(), QSize(width, height));
        QCOMPARE(image.pixel(0, 0), qRgba(255, 0, 0, 255));
        QCOMPARE(image.pixel(1, 1), qRgba(0, 0, 0, 128));
        QCOMPARE(mapper.map(data.data(), stride, width, height, false).format(),
                 QImage::Format_RGBX8888);
        QVERIFY(mapper.map(data.data(), width * 8 - 1, width, height, true).isNull());
        QVERIFY(mapper.map(data.data(), stride, 0, height, true).isNull());
        QVERIFY(mapper.map(nullptr, stride, width, height, true).isNull());
    }

    // A display's own matrix and curve; one that would make NaN or infinite light is refused.
    void otherTargets()
    {
        SdrTarget linear;
        linear.fromBt2020 = Matrix3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
        linear.encode = [](double v) { return v; };
        const ToneMapper mapper(HdrSource{}, linear);
        const uint16_t code = uint16_t(Coding().code(reference::nitsToPq(100)));
        const int expected = int(std::lround(
            reference::eetf(reference::pqToNits(Coding().signal(code)), 1000) / 203 * 255));
        QVERIFY(std::abs(mapOne(mapper, {code, 0, 0})[0] - expected) <= 1);

        const ToneMapper plain{HdrSource{}};
        SdrTarget brokenMatrix;
        brokenMatrix.fromBt2020[0][0] = std::nan("");
        SdrTarget hugeMatrix;
        hugeMatrix.fromBt2020[1][1] = 1e300;
        SdrTarget brokenCurve;
        brokenCurve.encode = [](double) { return std::nan(""); };
        const ToneMapper refused[] = {ToneMapper(HdrSource{}, brokenMatrix),
                                      ToneMapper(HdrSource{}, hugeMatrix)};
        const ToneMapper dark(HdrSource{}, brokenCurve);
        for (const std::array<uint16_t, 3>& codes :
             {std::array<uint16_t, 3>{0, 0, 0}, {1023, 1023, 1023}, {code, 600, 0}}) {
            for (const ToneMapper& each : refused)
                QCOMPARE(mapOne(each, codes), mapOne(plain, codes));
            QCOMPARE(mapOne(dark, codes), (std::array<int, 3>{0, 0, 0}));
        }
    }

    // The nclx codes that make a picture HDR, and a peak from a damaged clli or mdcv.
    void fromNclx()
    {
        QVERIFY(!hdrSourceFromNclx(1, 9, true, 10));
        QCOMPARE(hdrSourceFromNclx(18, 9, true, 10)->transfer, Transfer::Hlg);
        QCOMPARE(hdrSourceFromNclx(16, 12, true, 10)->primaries, Primaries::DisplayP3);
        QCOMPARE(hdrSourceFromNclx(16, 2, true, 10)->primaries, Primaries::Bt2020);
        QCOMPARE(hdrSourceFromNclx(16, 9, true, 10, 4000)->peakNits, 4000.0);
        for (const double unusable : {0.0, -5.0, std::nan(""), HUGE_VAL})
            QCOMPARE(hdrSourceFromNclx(16, 9, true, 10, unusable)->peakNits, 1000.0);
        QCOMPARE(hdrSourceFromNclx(16, 9, true, 10, 65535)->peakNits, 10000.0);
    }
};

QTEST_APPLESS_MAIN(TestToneMap)
#include "tst_tonemap.moc"
