#include "imaging/colour/CicpColour.h"

#include <utility>

namespace imaging::detail {

namespace {

// Code points of ITU-T H.273.
enum Code {
    kPrimariesBt709 = 1,
    kPrimariesUnspecified = 2,
    kPrimariesSmpte432 = 12,
    kTransferBt470M = 4,
    kTransferBt470Bg = 5,
    kTransferLinear = 8,
};

std::pair<QColorSpace::TransferFunction, float> transferOf(int transfer)
{
    switch (transfer) {
    case kTransferLinear:
        return {QColorSpace::TransferFunction::Linear, 0.0f};
    case kTransferBt470M:
        return {QColorSpace::TransferFunction::Gamma, 2.2f};
    case kTransferBt470Bg:
        return {QColorSpace::TransferFunction::Gamma, 2.8f};
    default:
        return {QColorSpace::TransferFunction::SRgb, 0.0f};
    }
}

} // namespace

QColorSpace cicpColorSpace(int primaries, int transfer, const Chromaticities& chromaticities)
{
    const auto [curve, gamma] = transferOf(transfer);
    switch (primaries) {
    case kPrimariesBt709:
    case kPrimariesUnspecified:
        return QColorSpace(QColorSpace::Primaries::SRgb, curve, gamma);
    case kPrimariesSmpte432:
        return QColorSpace(QColorSpace::Primaries::DciP3D65, curve, gamma);
    default:
        return QColorSpace(chromaticities.white, chromaticities.red, chromaticities.green,
                           chromaticities.blue, curve, gamma);
    }
}

} // namespace imaging::detail
