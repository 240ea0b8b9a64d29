#pragma once

namespace imaging::detail {

// PQ (SMPTE ST 2084): signal [0, 1] to absolute light in nits [0, 10000], and back.
double pqToNits(double signal);
double nitsToPq(double nits);

// HLG's inverse OETF: signal [0, 1] to scene light [0, 1].
double hlgToScene(double signal);

// BT.2390's EETF, on PQ-encoded light: from a source peaking at sourcePeak onto a screen peaking
// at targetPeak, black at zero on both (so without its black lift). Light above the source's
// peak clips to the screen's; a source no brighter than the screen passes unchanged.
double bt2390Eetf(double nits, double sourcePeak, double targetPeak);

// The sRGB curve, linear [0, 1] to encoded [0, 1].
double srgbEncode(double linear);

} // namespace imaging::detail
