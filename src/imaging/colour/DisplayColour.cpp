#include "imaging/colour/DisplayColour.h"

#include <QColorSpace>

#include <mutex>

namespace imaging {

namespace {

std::mutex g_mutex;
std::shared_ptr<const DisplayProfile> g_profile;
// The bytes last set, usable or not, so that setting them again changes nothing.
QByteArray g_icc;

} // namespace

std::shared_ptr<const DisplayProfile> displayProfile()
{
    const std::lock_guard lock(g_mutex);
    return g_profile;
}

bool setDisplayProfile(const QByteArray& icc)
{
    {
        const std::lock_guard lock(g_mutex);
        if (icc == g_icc)
            return false;
    }
    // Read outside the lock: decodes asking for the profile meanwhile get the one before.
    std::shared_ptr<const DisplayProfile> profile = DisplayProfile::fromIcc(icc);
    const std::lock_guard lock(g_mutex);
    g_icc = icc;
    const QByteArray before = g_profile ? g_profile->icc() : QByteArray();
    const QByteArray after = profile ? profile->icc() : QByteArray();
    g_profile = std::move(profile);
    return before != after;
}

QImage inSrgb(const QImage& shown)
{
    if (shown.isNull())
        return shown;
    if (const std::shared_ptr<const DisplayProfile> profile = displayProfile();
        profile && profile->isTableBased() && profile->holds(shown))
        return profile->toSrgb(shown);
    QImage out = shown;
    const QColorSpace srgb(QColorSpace::SRgb);
    if (!out.colorSpace().isValid())
        out.setColorSpace(srgb);
    else if (out.colorSpace() != srgb)
        out.convertToColorSpace(srgb);
    return out;
}

QImage forScreen(QImage image)
{
    if (image.isNull())
        return image;
    if (const std::shared_ptr<const DisplayProfile> profile = displayProfile()) {
        profile->convert(image);
        return image;
    }
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    return image;
}

} // namespace imaging
