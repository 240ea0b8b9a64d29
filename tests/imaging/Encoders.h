#pragma once

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QList>
#include <QPair>
#include <QRandomGenerator>

#include <jxl/encode.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

// JPEG XL files made on the spot with libjxl's encoder (linked into the tests, unlike the
// viewer, which opens the decoder at run time): the library of cjxl, without running it. And
// pictures for lossy coding.
namespace fixtures {

struct JxlFrame {
    QImage image;
    quint32 duration = 0;
};

struct JxlRecipe {
    bool lossless = true;
    int orientation = 1;
    // An ICC profile, else a named encoding, else sRGB.
    QByteArray icc{};
    std::optional<JxlColorEncoding> encoding{};
    // Samples from RGBX64 images at 16 bits.
    bool sixteenBit = false;
    // One channel, the red one of the frames.
    bool grey = false;
    bool animated = false; // durations in milliseconds
    quint32 loops = 0;
    // Boxes as type and contents, Brotli-compressed when compressBoxes; they need a container.
    QList<QPair<QByteArray, QByteArray>> boxes{};
    bool compressBoxes = false;
};

inline QByteArray drain(JxlEncoder* encoder)
{
    QByteArray out(1 << 16, Qt::Uninitialized);
    size_t used = 0;
    for (;;) {
        auto* next = reinterpret_cast<uint8_t*>(out.data()) + used;
        size_t available = size_t(out.size()) - used;
        const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder, &next, &available);
        used = size_t(out.size()) - available;
        if (status == JXL_ENC_SUCCESS) {
            out.truncate(qsizetype(used));
            return out;
        }
        if (status != JXL_ENC_NEED_MORE_OUTPUT)
            return {};
        out.resize(out.size() * 2);
    }
}

// Tightly packed samples, as the encoder takes them: RGB or grey, then alpha.
inline std::vector<uint8_t> jxlSamples(const QImage& image, bool sixteenBit, bool grey, bool alpha)
{
    const QImage source =
        image.convertToFormat(sixteenBit ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    const int bytes = sixteenBit ? 2 : 1;
    std::vector<uint8_t> out;
    for (int y = 0; y < source.height(); ++y) {
        const uchar* line = source.constScanLine(y);
        for (int x = 0; x < source.width(); ++x) {
            const uchar* pixel = line + x * 4 * bytes;
            out.insert(out.end(), pixel, pixel + (grey ? 1 : 3) * bytes);
            if (alpha)
                out.insert(out.end(), pixel + 3 * bytes, pixel + 4 * bytes);
        }
    }
    return out;
}

inline QByteArray encodeJxl(const QList<JxlFrame>& frames, const JxlRecipe& recipe)
{
    JxlEncoder* encoder = JxlEncoderCreate(nullptr);
    const bool alpha = frames.first().image.hasAlphaChannel();
    JxlEncoderUseContainer(encoder, !recipe.boxes.isEmpty());
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(frames.first().image.width());
    info.ysize = uint32_t(frames.first().image.height());
    info.bits_per_sample = recipe.sixteenBit ? 16 : 8;
    info.num_color_channels = recipe.grey ? 1 : 3;
    info.uses_original_profile = recipe.lossless;
    info.orientation = JxlOrientation(recipe.orientation);
    if (alpha) {
        info.alpha_bits = info.bits_per_sample;
        info.num_extra_channels = 1;
    }
    info.have_animation = recipe.animated;
    info.animation.tps_numerator = 1000;
    info.animation.tps_denominator = 1;
    info.animation.num_loops = recipe.loops;
    bool ok = JxlEncoderSetBasicInfo(encoder, &info) == JXL_ENC_SUCCESS;
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, recipe.grey);
    const auto* icc = reinterpret_cast<const uint8_t*>(recipe.icc.constData());
    ok = ok &&
         (!recipe.icc.isEmpty()
              ? JxlEncoderSetICCProfile(encoder, icc, size_t(recipe.icc.size()))
              : JxlEncoderSetColorEncoding(encoder, recipe.encoding ? &*recipe.encoding : &srgb)) ==
             JXL_ENC_SUCCESS;
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
    JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, 3);
    if (recipe.lossless)
        JxlEncoderSetFrameLossless(settings, JXL_TRUE);
    if (!recipe.boxes.isEmpty()) {
        JxlEncoderUseBoxes(encoder);
        for (const auto& [type, contents] : recipe.boxes)
            ok = ok &&
                 JxlEncoderAddBox(encoder, type.constData(),
                                  reinterpret_cast<const uint8_t*>(contents.constData()),
                                  size_t(contents.size()), recipe.compressBoxes) == JXL_ENC_SUCCESS;
        JxlEncoderCloseBoxes(encoder);
    }
    const JxlPixelFormat format{(recipe.grey ? 1u : 3u) + (alpha ? 1u : 0u),
                                recipe.sixteenBit ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8,
                                JXL_NATIVE_ENDIAN, 0};
    for (const JxlFrame& frame : frames) {
        if (recipe.animated) {
            JxlFrameHeader header;
            JxlEncoderInitFrameHeader(&header);
            header.duration = frame.duration;
            JxlEncoderSetFrameHeader(settings, &header);
        }
        const std::vector<uint8_t> samples =
            jxlSamples(frame.image, recipe.sixteenBit, recipe.grey, alpha);
        ok = ok && JxlEncoderAddImageFrame(settings, &format, samples.data(), samples.size()) ==
                       JXL_ENC_SUCCESS;
    }
    JxlEncoderCloseInput(encoder);
    const QByteArray out = ok ? drain(encoder) : QByteArray();
    JxlEncoderDestroy(encoder);
    return out;
}

// A JPEG recompressed losslessly, as cjxl --lossless_jpeg=1 does.
inline QByteArray transcodeJpeg(const QByteArray& jpeg)
{
    JxlEncoder* encoder = JxlEncoderCreate(nullptr);
    JxlEncoderUseContainer(encoder, JXL_TRUE);
    JxlEncoderStoreJPEGMetadata(encoder, JXL_TRUE);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
    const bool ok =
        JxlEncoderAddJPEGFrame(settings, reinterpret_cast<const uint8_t*>(jpeg.constData()),
                               size_t(jpeg.size())) == JXL_ENC_SUCCESS;
    JxlEncoderCloseInput(encoder);
    const QByteArray out = ok ? drain(encoder) : QByteArray();
    JxlEncoderDestroy(encoder);
    return out;
}

// Smooth gradients, edges and grain, so lossy coding has something to lose.
inline QImage photo(int width, int height, quint32 seed = 7)
{
    QRandomGenerator random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int grain = int(random.bounded(25)) - 12;
            const int edge = (x / 16 + y / 16) % 2 ? 40 : 0;
            image.setPixel(x, y,
                           qRgb(std::clamp(x * 255 / width + grain, 0, 255),
                                std::clamp(y * 255 / height + edge + grain, 0, 255),
                                std::clamp(128 + grain - edge, 0, 255)));
        }
    }
    return image;
}

inline QImage filled(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace fixtures
