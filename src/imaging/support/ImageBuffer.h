#pragma once

#include <QImage>

namespace imaging {

// A new image whose pixels, when large, lie in memory the kernel may back with 2 MiB pages.
// On this kind of machine first touching memory costs a fault per 4 KiB page, which for a
// 24 MP photo took longer than decoding it; with large pages it is a few dozen faults. The
// pixels start out zero. Null when the memory cannot be had.
QImage newImage(int width, int height, QImage::Format format);

} // namespace imaging
