#include "imaging/colour/DisplayProfile.h"

#include "imaging/colour/TableProfile.h"

#include <QColorTransform>
#include <QCryptographicHash>
#include <QPointF>
#include <QtGui/qrgbafloat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace imaging {

namespace {

// What marks a picture converted into a table-based profile, which no QColorSpace can name.
const QString kScreenKey = QStringLiteral("Pelu screen");
// As many steps as the tone map's own output table, so that its look-ups hit them exactly.
constexpr int kCurveSteps = 1 << 14;

QColorSpace linearBt2020()
{
    return QColorSpace(QPointF(0.3127, 0.3290), QPointF(0.708, 0.292), QPointF(0.170, 0.797),
                       QPointF(0.131, 0.046), QColorSpace::TransferFunction::Linear);
}

// The screen's matrix from linear BT.2020 and its curve, read through Qt's own transforms,
// which keep values outside [0, 1] for floats. None when the three channels' curves differ.
std::optional<detail::SdrTarget> hdrTargetFor(const QColorSpace& screen)
{
    const QColorSpace linear = screen.withTransferFunction(QColorSpace::TransferFunction::Linear);
    const QColorTransform toLinear = linearBt2020().transformationToColorSpace(linear);
    detail::SdrTarget target;
    for (int column = 0; column < 3; ++column) {
        const QRgbaFloat32 unit{float(column == 0), float(column == 1), float(column == 2), 1.0f};
        const QRgbaFloat32 mapped = toLinear.map(unit);
        target.fromBt2020[0][size_t(column)] = mapped.r;
        target.fromBt2020[1][size_t(column)] = mapped.g;
        target.fromBt2020[2][size_t(column)] = mapped.b;
    }
    const QColorTransform encode = linear.transformationToColorSpace(screen);
    auto curve = std::make_shared<std::vector<float>>(kCurveSteps);
    for (int i = 0; i < kCurveSteps; ++i) {
        const float v = float(i) / (kCurveSteps - 1);
        const QRgbaFloat32 out = encode.map(QRgbaFloat32{v, v, v, 1.0f});
        constexpr float kSameCurve = 1.0f / 1024;
        if (!std::isfinite(out.g) || std::abs(out.r - out.g) > kSameCurve ||
            std::abs(out.b - out.g) > kSameCurve)
            return std::nullopt;
        (*curve)[size_t(i)] = out.g;
    }
    target.encode = [curve](double linear) {
        const double at = std::clamp(linear, 0.0, 1.0) * (kCurveSteps - 1);
        const auto low = size_t(at);
        const size_t high = std::min(low + 1, size_t(kCurveSteps - 1));
        const double t = at - double(low);
        return double((*curve)[low]) * (1 - t) + double((*curve)[high]) * t;
    };
    return target;
}

QImage::Format rgb32Format(const QImage& image)
{
    return image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
}

} // namespace

std::shared_ptr<const DisplayProfile> DisplayProfile::fromIcc(const QByteArray& icc)
{
    // The profile read for the photo decoded at start is read again once the window is up: a
    // profile of tables costs Little CMS's set-up, which is done once.
    static std::mutex mutex;
    static std::weak_ptr<const DisplayProfile> last;
    if (icc.isEmpty())
        return nullptr;
    {
        const std::lock_guard lock(mutex);
        if (std::shared_ptr<const DisplayProfile> known = last.lock(); known && known->icc() == icc)
            return known;
    }
    std::shared_ptr<DisplayProfile> profile(new DisplayProfile);
    profile->m_icc = icc;
    profile->m_space = QColorSpace::fromIccProfile(icc);
    if (profile->m_space.isValid()) {
        if (profile->m_space == QColorSpace(QColorSpace::SRgb))
            return nullptr;
    } else {
        profile->m_table = detail::TableProfile::open(icc);
        if (!profile->m_table)
            return nullptr;
        // Of the bytes, so that a profile read again knows the pictures converted before.
        profile->m_marker =
            QString::fromLatin1(QCryptographicHash::hash(icc, QCryptographicHash::Sha1).toHex());
    }
    const std::lock_guard lock(mutex);
    last = profile;
    return profile;
}

const std::optional<detail::SdrTarget>& DisplayProfile::hdrTarget() const
{
    std::call_once(m_hdrTargetMade, [this] {
        if (!m_table)
            m_hdrTarget = hdrTargetFor(m_space);
    });
    return m_hdrTarget;
}

DisplayProfile::~DisplayProfile() = default;

bool DisplayProfile::holds(const QImage& image) const
{
    if (m_table)
        return !image.colorSpace().isValid() && image.text(kScreenKey) == m_marker;
    return image.colorSpace() == m_space;
}

bool DisplayProfile::convert(QImage& image) const
{
    if (image.isNull())
        return false;
    if (holds(image))
        return true;
    const QColorSpace from =
        image.colorSpace().isValid() ? image.colorSpace() : QColorSpace(QColorSpace::SRgb);
    const QImage::Format format = image.format();
    if (m_table) {
        if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32)
            image.convertTo(rgb32Format(image));
        if (!m_table->convertFrom(image, from.iccProfile()))
            return false;
        image.setColorSpace(QColorSpace());
        image.setText(kScreenKey, m_marker);
        return true;
    }
    // Qt converts colour pictures only.
    if (format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16 ||
        image.depth() < 8)
        image.convertTo(rgb32Format(image));
    image.setColorSpace(from);
    image.convertToColorSpace(m_space);
    return image.colorSpace() == m_space;
}

QImage DisplayProfile::toSrgb(const QImage& image) const
{
    if (!m_table || !holds(image))
        return {};
    // A fresh image: the mark of the screen stays behind.
    const QImage source = image.convertToFormat(rgb32Format(image));
    QImage out(source.size(), source.format());
    if (out.isNull())
        return {};
    for (int y = 0; y < source.height(); ++y)
        std::memcpy(out.scanLine(y), source.constScanLine(y), size_t(source.bytesPerLine()));
    const QColorSpace srgb(QColorSpace::SRgb);
    if (!m_table->convertTo(out, srgb.iccProfile()))
        return {};
    out.setColorSpace(srgb);
    return out;
}

} // namespace imaging
