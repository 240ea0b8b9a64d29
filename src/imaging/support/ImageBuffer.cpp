#include "imaging/support/ImageBuffer.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include <sys/mman.h>

namespace imaging {

namespace {

constexpr size_t kLargePage = size_t(2) << 20;

struct Mapping {
    void* base;
    size_t length;
};

void unmap(void* info)
{
    auto* mapping = static_cast<Mapping*>(info);
    ::munmap(mapping->base, mapping->length);
    delete mapping;
}

} // namespace

QImage newImage(int width, int height, QImage::Format format)
{
    if (width <= 0 || height <= 0 || format == QImage::Format_Invalid)
        return {};
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    // Rows padded to 32 bits, as QImage lays them out itself.
    const qint64 bytesPerLine = ((qint64(width) * depth + 31) / 32) * 4;
    const qint64 bytes = bytesPerLine * height;
    if (bytesPerLine > std::numeric_limits<int>::max() || bytes / height != bytesPerLine)
        return {};
    if (size_t(bytes) < kLargePage) {
        QImage image(width, height, format);
        if (!image.isNull())
            std::memset(image.bits(), 0, size_t(image.sizeInBytes()));
        return image;
    }

    // Mapped with room to start on a large-page boundary; anonymous memory reads as zero.
    const size_t length = size_t(bytes) + kLargePage;
    void* base =
        ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return {};
    const auto address = reinterpret_cast<std::uintptr_t>(base);
    auto* pixels =
        reinterpret_cast<uchar*>((address + kLargePage - 1) & ~std::uintptr_t(kLargePage - 1));
    ::madvise(pixels, size_t(bytes), MADV_HUGEPAGE); // only advice: without it, small pages
    auto* mapping = new Mapping{base, length};
    QImage image(pixels, width, height, qsizetype(bytesPerLine), format, unmap, mapping);
    if (image.isNull())
        unmap(mapping);
    return image;
}

} // namespace imaging
