#pragma once

class QImage;

namespace desktop {

// Puts the image, as it is, on the system clipboard in place of whatever was there.
void copyImage(const QImage& image);

} // namespace desktop
