#include "imaging/decoders/Decoding.h"

#include "imaging/support/DecodeScope.h"
#include "imaging/metadata/ExifOrientation.h"
#include "imaging/decoders/HeifDecoder.h"
#include "imaging/decoders/JpegDecoder.h"
#include "imaging/pixels/Orientation.h"
#include "imaging/decoders/PsdReader.h"
#include "imaging/decoders/QtDecoder.h"
#include "imaging/decoders/RawDecoder.h"

namespace imaging::detail {

std::optional<QImage> decodeFile(const QString& path, ImageType type, const DecodeOptions& options)
{
    const DecodeScope scope;
    ensureLibrariesReady();
    switch (decoderFor(type)) {
    case DecoderFamily::Qt: {
        // JPEG straight into its final pixels; Qt takes what that decoder leaves.
        bool handled = false;
        if (type == ImageType::Jpeg) {
            std::optional<QImage> image = decodeJpeg(path, options, &handled);
            if (handled)
                return image;
        }
        return decodeWithQt(path, type, options);
    }
    case DecoderFamily::Heif:
        return decodeHeif(path, options);
    case DecoderFamily::Raw: {
        std::optional<QImage> image = decodeRaw(path, options);
        // A plain TIFF that merely carries a raw extension.
        if (!image && !isRecognisedRaw(path))
            image = decodeWithQt(path, ImageType::Tiff, options);
        return image;
    }
    case DecoderFamily::Psd: {
        std::optional<QImage> image = decodePsd(path, options);
        if (image && options.upright)
            *image = orientedImage(*image, storedOrientation(path, type).shown());
        return image;
    }
    case DecoderFamily::None:
        break;
    }
    return std::nullopt;
}

std::optional<QImage> decodeFile(const QString& path, const DecodeOptions& options)
{
    return decodeFile(path, detectImageType(path), options);
}

} // namespace imaging::detail
