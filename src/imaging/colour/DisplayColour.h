#pragma once

#include "imaging/colour/DisplayProfile.h"

#include <QByteArray>
#include <QImage>

#include <memory>

// The screen's colour profile for the whole process: the application sets it from what the
// window system publishes, and every decode for the screen converts into it. Safe from any
// thread.
namespace imaging {

// The profile pictures are converted into now; null for sRGB.
std::shared_ptr<const DisplayProfile> displayProfile();

// Takes the bytes of the screen's ICC profile (empty: none). True when what pictures are
// converted into changed: a profile that cannot be used, or that is sRGB, counts as none.
bool setDisplayProfile(const QByteArray& icc);

// A picture as shown, for other programs: in sRGB and tagged so (Copy Image).
QImage inSrgb(const QImage& shown);

// A picture in the colour space it carries (none: sRGB) as the screen shows it: into the
// display profile, or into sRGB without one. For small pictures made or kept in sRGB, such as
// the strip's thumbnails, which are shared on disk with other programs.
QImage forScreen(QImage image);

} // namespace imaging
