#pragma once

#include <QByteArray>
#include <QColorSpace>

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <vector>

// Display profiles for the tests: Adobe RGB as Qt writes it (primaries and curves), and the
// same screen described by tables (A2B0/B2A0), which Qt refuses and Little CMS reads.
namespace displayprofiles {

inline QByteArray adobeRgb()
{
    return QColorSpace(QColorSpace::AdobeRgb).iccProfile();
}

inline QByteArray saved(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

inline cmsHPROFILE adobeMatrixProfile()
{
    const cmsCIExyY d65 = {0.3127, 0.3290, 1};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &primaries, curves);
    cmsFreeToneCurve(gamma);
    return profile;
}

inline cmsHPROFILE tableShell(const char* description)
{
    cmsHPROFILE out = cmsCreateProfilePlaceholder(nullptr);
    cmsSetDeviceClass(out, cmsSigDisplayClass);
    cmsSetColorSpace(out, cmsSigRgbData);
    cmsWriteTag(out, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", description);
    cmsWriteTag(out, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
    return out;
}

// Adobe RGB as curves and a matrix inside A2B0 and B2A0 (lutAtoB / lutBtoA), without the
// colorant and curve tags: exactly the screen adobeRgb() describes, in tables.
inline QByteArray adobeRgbInTables()
{
    cmsHPROFILE matrix = adobeMatrixProfile();
    // The colorants, scaled as Little CMS encodes XYZ inside a pipeline.
    const double k = 32768.0 / 65535.0;
    const cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                          cmsSigBlueColorantTag};
    double m[9];
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(matrix, colorants[c]));
        m[c] = xyz->X * k;
        m[3 + c] = xyz->Y * k;
        m[6 + c] = xyz->Z * k;
    }
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    const double inverse[9] = {(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det,
                               (m[1] * m[5] - m[2] * m[4]) / det, (m[5] * m[6] - m[3] * m[8]) / det,
                               (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
                               (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det,
                               (m[0] * m[4] - m[1] * m[3]) / det};
    cmsCloseProfile(matrix);
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256);
    cmsToneCurve* reversed = cmsReverseToneCurve(gamma);
    cmsToneCurve* in[3] = {gamma, gamma, gamma};
    cmsToneCurve* out[3] = {reversed, reversed, reversed};

    cmsHPROFILE profile = tableShell("Adobe RGB in tables");
    cmsSetProfileVersion(profile, 4.3);
    cmsSetPCS(profile, cmsSigXYZData);
    cmsPipeline* toPcs = cmsPipelineAlloc(nullptr, 3, 3);
    cmsPipelineInsertStage(toPcs, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, in));
    cmsPipelineInsertStage(toPcs, cmsAT_END, cmsStageAllocMatrix(nullptr, 3, 3, m, nullptr));
    cmsPipelineInsertStage(toPcs, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, toPcs);
    cmsPipeline* fromPcs = cmsPipelineAlloc(nullptr, 3, 3);
    cmsPipelineInsertStage(fromPcs, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsPipelineInsertStage(fromPcs, cmsAT_END,
                           cmsStageAllocMatrix(nullptr, 3, 3, inverse, nullptr));
    cmsPipelineInsertStage(fromPcs, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, out));
    cmsWriteTag(profile, cmsSigBToA0Tag, fromPcs);
    cmsPipelineFree(toPcs);
    cmsPipelineFree(fromPcs);
    cmsFreeToneCurve(gamma);
    cmsFreeToneCurve(reversed);
    return saved(profile);
}

// Adobe RGB sampled into 17-point grids over Lab (lut16), as profiling tools write them.
inline QByteArray adobeRgbInGrids()
{
    cmsHPROFILE matrix = adobeMatrixProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(matrix, TYPE_RGB_FLT, lab, TYPE_Lab_FLT,
                                             INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
    cmsHTRANSFORM fromLab = cmsCreateTransform(lab, TYPE_Lab_FLT, matrix, TYPE_RGB_FLT,
                                               INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
    cmsCloseProfile(matrix);
    cmsCloseProfile(lab);
    cmsHPROFILE profile = tableShell("Adobe RGB in grids");
    cmsSetProfileVersion(profile, 2.1);
    cmsSetPCS(profile, cmsSigLabData);
    constexpr int kGrid = 17;
    cmsPipeline* toPcs = cmsPipelineAlloc(nullptr, 3, 3);
    cmsStage* forward = cmsStageAllocCLut16bit(nullptr, kGrid, 3, 3, nullptr);
    cmsStageSampleCLut16bit(
        forward,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* transform) -> cmsInt32Number {
            const float rgb[3] = {in[0] / 65535.f, in[1] / 65535.f, in[2] / 65535.f};
            float l[3];
            cmsDoTransform(transform, rgb, l, 1);
            const cmsCIELab value{l[0], l[1], l[2]};
            cmsFloat2LabEncoded(out, &value);
            return 1;
        },
        toLab, 0);
    cmsPipelineInsertStage(toPcs, cmsAT_END, forward);
    cmsWriteTag(profile, cmsSigAToB0Tag, toPcs);
    cmsPipeline* fromPcs = cmsPipelineAlloc(nullptr, 3, 3);
    cmsStage* backward = cmsStageAllocCLut16bit(nullptr, kGrid, 3, 3, nullptr);
    cmsStageSampleCLut16bit(
        backward,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* transform) -> cmsInt32Number {
            cmsCIELab value;
            cmsLabEncoded2Float(&value, in);
            const float l[3] = {float(value.L), float(value.a), float(value.b)};
            float rgb[3];
            cmsDoTransform(transform, l, rgb, 1);
            for (int i = 0; i < 3; ++i)
                out[i] = cmsUInt16Number(std::clamp(rgb[i], 0.0f, 1.0f) * 65535 + 0.5f);
            return 1;
        },
        fromLab, 0);
    cmsPipelineInsertStage(fromPcs, cmsAT_END, backward);
    cmsWriteTag(profile, cmsSigBToA0Tag, fromPcs);
    cmsPipelineFree(toPcs);
    cmsPipelineFree(fromPcs);
    cmsDeleteTransform(toLab);
    cmsDeleteTransform(fromLab);
    return saved(profile);
}

// What Little CMS itself makes of an sRGB colour on a screen with this profile.
inline QRgb throughLittleCms(const QByteArray& screen, QRgb srgb)
{
    cmsHPROFILE from = cmsCreate_sRGBProfile();
    cmsHPROFILE to = cmsOpenProfileFromMem(screen.constData(), cmsUInt32Number(screen.size()));
    cmsHTRANSFORM transform =
        cmsCreateTransform(from, TYPE_RGB_8, to, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, 0);
    const std::array<uchar, 3> in{uchar(qRed(srgb)), uchar(qGreen(srgb)), uchar(qBlue(srgb))};
    std::array<uchar, 3> out{};
    if (transform)
        cmsDoTransform(transform, in.data(), out.data(), 1);
    cmsDeleteTransform(transform);
    cmsCloseProfile(from);
    cmsCloseProfile(to);
    return qRgb(out[0], out[1], out[2]);
}

} // namespace displayprofiles
