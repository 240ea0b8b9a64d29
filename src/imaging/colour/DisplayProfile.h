#pragma once

#include "imaging/colour/ToneMap.h"

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

namespace imaging {

namespace detail {
class TableProfile;
}

// The colour profile of the screen pictures are shown on, as the window system publishes it.
// A profile of primaries and curves goes through Qt's QColorSpace, which converts quickly; one
// made of tables (A2B/B2A), which Qt refuses, through Little CMS. Immutable and safe to share
// between threads.
class DisplayProfile {
public:
    // Null for a profile neither can use (not RGB, damaged, not a profile at all) and for one
    // that is sRGB itself: such a screen is shown to as if it had none.
    static std::shared_ptr<const DisplayProfile> fromIcc(const QByteArray& icc);
    ~DisplayProfile();
    DisplayProfile(const DisplayProfile&) = delete;
    DisplayProfile& operator=(const DisplayProfile&) = delete;

    const QByteArray& icc() const { return m_icc; }
    // Qt's reading of the profile; not valid for one made of tables.
    const QColorSpace& colorSpace() const { return m_space; }
    bool isTableBased() const { return m_table != nullptr; }

    // Where the HDR tone map may write this screen's pixels directly: its primaries and its
    // curve. None for a profile made of tables or with a curve of its own for each channel;
    // HDR pictures then go to Display P3 first and on through convert().
    // Worked out on first use (a few milliseconds), so that a start need not wait for it.
    const std::optional<detail::SdrTarget>& hdrTarget() const;

    // The picture, whose pixels are in the colour space it carries (none: sRGB), into this
    // profile, in place. Grey pictures become RGB32, and for a table-based profile every
    // picture becomes RGB32 or ARGB32. False when it could not be converted.
    bool convert(QImage& image) const;
    // Whether the picture's pixels are in this profile (a result of convert()).
    bool holds(const QImage& image) const;
    // A picture converted into a table-based profile, back in sRGB and tagged so; a null
    // image for any other (Qt converts those by the colour space they carry).
    QImage toSrgb(const QImage& image) const;

private:
    DisplayProfile() = default;

    QByteArray m_icc;
    QColorSpace m_space;
    std::unique_ptr<detail::TableProfile> m_table;
    mutable std::once_flag m_hdrTargetMade;
    mutable std::optional<detail::SdrTarget> m_hdrTarget;
    // What marks a picture converted into a table-based profile (see holds()).
    QString m_marker;
};

} // namespace imaging
