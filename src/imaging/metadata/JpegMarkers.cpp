#include "imaging/metadata/JpegMarkers.h"

#include "imaging/support/ByteReading.h"

namespace imaging::detail {

qint64 findJpegMarker(QIODevice& file, const std::function<bool(quint8 code)>& wanted)
{
    constexpr int kMaxSegments = 4096;
    qint64 at = 2;
    for (int i = 0; i < kMaxSegments && file.seek(at); ++i) {
        const QByteArray marker = file.read(4);
        if (marker.size() < 2 || quint8(marker[0]) != 0xFF)
            return -1;
        const quint8 code = quint8(marker[1]);
        if (code == 0xFF) { // fill byte
            at += 1;
            continue;
        }
        if (wanted(code))
            return at;
        if (code == 0xDA) // entropy-coded data follows: no more segments to walk
            return -1;
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) { // no length field
            at += 2;
            continue;
        }
        if (marker.size() < 4)
            return -1;
        at += 2 + readBigEndian16(marker, 2);
    }
    return -1;
}

QList<JpegSegment> jpegSegments(QIODevice& file)
{
    QList<JpegSegment> segments;
    findJpegMarker(file, [&file, &segments](quint8 code) {
        // Called just after the marker and its length field were read.
        const qint64 dataAt = file.pos();
        if (code == 0xDA || code == 0x01 || (code >= 0xD0 && code <= 0xD7) || dataAt < 4)
            return false;
        if (!file.seek(dataAt - 2))
            return true;
        const qint64 length = qint64(readBigEndian16(file.read(2), 0)) - 2;
        if (length < 0 || dataAt + length > file.size())
            return true;
        segments.append({code, dataAt, length});
        return false;
    });
    return segments;
}

qint64 findJpegApp(QIODevice& file, quint8 code, const QByteArray& signature)
{
    for (const JpegSegment& segment : jpegSegments(file)) {
        if (segment.code == code && segment.length >= signature.size() &&
            file.seek(segment.dataAt) && file.read(signature.size()) == signature)
            return segment.dataAt;
    }
    return -1;
}

} // namespace imaging::detail
