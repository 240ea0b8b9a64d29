#include "imaging/decoders/Decoding.h"

#include "imaging/TypeTable.h"
#include "imaging/support/DecodeScope.h"

namespace imaging::detail {

std::optional<QImage> decodeFile(const QString& path, ImageType type, const DecodeOptions& options)
{
    const DecodeScope scope;
    ensureLibrariesReady();
    const Decode decode = typeRow(type).decode;
    return decode ? decode(path, type, options) : std::nullopt;
}

std::optional<QImage> decodeFile(const QString& path, const DecodeOptions& options)
{
    return decodeFile(path, detectImageType(path), options);
}

} // namespace imaging::detail
