#include "imaging/colour/Primaries.h"

namespace imaging::detail {

namespace {

using Chromaticities = std::array<double, 8>; // red, green, blue, white: x and y of each

constexpr Chromaticities kBt709{0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290};
constexpr Chromaticities kBt2020{0.708, 0.292, 0.170, 0.797, 0.131, 0.046, 0.3127, 0.3290};
constexpr Chromaticities kDisplayP3{0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290};

Matrix3 inverse(const Matrix3& m)
{
    const auto minor = [&](int r0, int r1, int c0, int c1) {
        return m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0];
    };
    const double det =
        m[0][0] * minor(1, 2, 1, 2) - m[0][1] * minor(1, 2, 0, 2) + m[0][2] * minor(1, 2, 0, 1);
    return {{{minor(1, 2, 1, 2) / det, -minor(0, 2, 1, 2) / det, minor(0, 1, 1, 2) / det},
             {-minor(1, 2, 0, 2) / det, minor(0, 2, 0, 2) / det, -minor(0, 1, 0, 2) / det},
             {minor(1, 2, 0, 1) / det, -minor(0, 2, 0, 1) / det, minor(0, 1, 0, 1) / det}}};
}

} // namespace

Matrix3 multiply(const Matrix3& a, const Matrix3& b)
{
    Matrix3 m{};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            for (std::size_t k = 0; k < 3; ++k)
                m[i][j] += a[i][k] * b[k][j];
    return m;
}

// Each primary's XYZ at unit luminance, scaled so that equal RGB gives the white.
Matrix3 toXyz(Primaries primaries)
{
    const Chromaticities& c = primaries == Primaries::Bt709    ? kBt709
                              : primaries == Primaries::Bt2020 ? kBt2020
                                                               : kDisplayP3;
    Matrix3 xyz{};
    for (std::size_t i = 0; i < 3; ++i) {
        const double x = c[2 * i];
        const double y = c[2 * i + 1];
        xyz[0][i] = x / y;
        xyz[1][i] = 1;
        xyz[2][i] = (1 - x - y) / y;
    }
    const std::array<double, 3> white{c[6] / c[7], 1, (1 - c[6] - c[7]) / c[7]};
    const Matrix3 back = inverse(xyz);
    for (std::size_t i = 0; i < 3; ++i) {
        const double scale = back[i][0] * white[0] + back[i][1] * white[1] + back[i][2] * white[2];
        for (std::size_t row = 0; row < 3; ++row)
            xyz[row][i] *= scale;
    }
    return xyz;
}

Matrix3 primariesConversion(Primaries from, Primaries to)
{
    return multiply(inverse(toXyz(to)), toXyz(from));
}

} // namespace imaging::detail
