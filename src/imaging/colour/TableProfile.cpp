#include "imaging/colour/TableProfile.h"

#include "imaging/colour/LcmsLibrary.h"

#include <QColorSpace>
#include <QSemaphore>
#include <QSysInfo>
#include <QThreadPool>

#include <algorithm>

namespace imaging::detail {

namespace {

// A picture's colour spaces come and go with the folder; these few cover a folder of photos.
constexpr size_t kKeptTransforms = 6;
// Below this many pixels, a second thread costs more than it saves.
constexpr qint64 kSplitPixels = 1'000'000;

static_assert(QSysInfo::ByteOrder == QSysInfo::LittleEndian, "RGB32 is read as BGRA bytes");

bool isRgb(const LcmsLibrary& lcms, cmsHPROFILE profile)
{
    const cmsProfileClassSignature kind = lcms.cmsGetDeviceClass(profile);
    return lcms.cmsGetColorSpace(profile) == cmsSigRgbData &&
           (kind == cmsSigDisplayClass || kind == cmsSigOutputClass || kind == cmsSigInputClass ||
            kind == cmsSigColorSpaceClass);
}

// Runs the transform over the image's rows, the second half on another thread when the
// picture is large and a thread is free.
void apply(const LcmsLibrary& lcms, cmsHTRANSFORM transform, QImage& image)
{
    const int width = image.width();
    const int height = image.height();
    const auto stride = cmsUInt32Number(image.bytesPerLine());
    uchar* const bits = image.bits();
    const auto rows = [&](int first, int count) {
        uchar* at = bits + qsizetype(first) * image.bytesPerLine();
        lcms.cmsDoTransformLineStride(transform, at, at, cmsUInt32Number(width),
                                      cmsUInt32Number(count), stride, stride, 0, 0);
    };
    const int half = qint64(width) * height >= kSplitPixels ? height / 2 : 0;
    QSemaphore done;
    const bool split = half > 0 && QThreadPool::globalInstance()->tryStart([&] {
        rows(half, height - half);
        done.release();
    });
    rows(0, split ? half : height);
    if (split)
        done.acquire();
}

} // namespace

std::unique_ptr<TableProfile> TableProfile::open(const QByteArray& icc)
{
    const LcmsLibrary* lcms = lcmsLibrary();
    if (!lcms || icc.isEmpty())
        return nullptr;
    cmsHPROFILE profile = lcms->cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size()));
    if (!profile)
        return nullptr;
    if (!isRgb(*lcms, profile)) {
        lcms->cmsCloseProfile(profile);
        return nullptr;
    }
    std::unique_ptr<TableProfile> opened(new TableProfile(profile));
    // A profile that cannot take sRGB in is of no use for the screen.
    if (!opened->transform(QColorSpace(QColorSpace::SRgb).iccProfile(), true))
        return nullptr;
    return opened;
}

TableProfile::~TableProfile()
{
    m_made.clear();
    lcmsLibrary()->cmsCloseProfile(m_profile);
}

std::shared_ptr<void> TableProfile::transform(const QByteArray& other, bool into) const
{
    const std::lock_guard lock(m_mutex);
    const auto found = std::find_if(m_made.begin(), m_made.end(), [&](const Made& made) {
        return made.into == into && made.other == other;
    });
    if (found != m_made.end()) {
        // The latest used goes last, so the oldest is dropped first.
        std::rotate(found, found + 1, m_made.end());
        return m_made.back().transform;
    }
    const LcmsLibrary* lcms = lcmsLibrary();
    cmsHPROFILE profile =
        lcms->cmsOpenProfileFromMem(other.constData(), cmsUInt32Number(other.size()));
    if (!profile)
        return nullptr;
    // No cache of the last pixel: the transform is then safe from several threads.
    const cmsUInt32Number flags = cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA;
    cmsHPROFILE from = into ? profile : m_profile;
    cmsHPROFILE to = into ? m_profile : profile;
    cmsHTRANSFORM made = isRgb(*lcms, profile)
                             ? lcms->cmsCreateTransform(from, TYPE_BGRA_8, to, TYPE_BGRA_8,
                                                        INTENT_RELATIVE_COLORIMETRIC, flags)
                             : nullptr;
    lcms->cmsCloseProfile(profile);
    if (!made)
        return nullptr;
    if (m_made.size() >= kKeptTransforms)
        m_made.erase(m_made.begin());
    m_made.push_back({other, into, {made, [lcms](void* t) { lcms->cmsDeleteTransform(t); }}});
    return m_made.back().transform;
}

bool TableProfile::convert(QImage& image, const QByteArray& other, bool into) const
{
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        return false;
    const std::shared_ptr<void> made = transform(other, into);
    if (!made)
        return false;
    apply(*lcmsLibrary(), made.get(), image);
    return true;
}

bool TableProfile::convertFrom(QImage& image, const QByteArray& from) const
{
    return convert(image, from, true);
}

bool TableProfile::convertTo(QImage& image, const QByteArray& to) const
{
    return convert(image, to, false);
}

} // namespace imaging::detail
