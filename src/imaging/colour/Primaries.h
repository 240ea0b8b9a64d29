#pragma once

#include <array>
#include <cstddef>

namespace imaging::detail {

// Linear RGB to linear RGB (or XYZ); rows are the output channels.
using Matrix3 = std::array<std::array<double, 3>, 3>;

// The primaries an HDR picture names in its nclx box (1, 9, 12), all with a D65 white.
enum class Primaries { Bt709, Bt2020, DisplayP3 };

Matrix3 toXyz(Primaries primaries);
Matrix3 primariesConversion(Primaries from, Primaries to);
Matrix3 multiply(const Matrix3& a, const Matrix3& b);

} // namespace imaging::detail
