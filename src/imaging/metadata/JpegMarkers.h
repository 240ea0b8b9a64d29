#pragma once

#include <QIODevice>
#include <QList>

#include <functional>

namespace imaging::detail {

// Walks a JPEG's marker segments from the start of the file, so that markers inside
// segments (an embedded thumbnail in APP1) are skipped. The offset of the first marker whose
// code satisfies `wanted`, or -1 when the walk meets the end, damage or no such marker
// before the start of scan.
qint64 findJpegMarker(QIODevice& file, const std::function<bool(quint8 code)>& wanted);

// A marker segment with a length field, before the start of scan.
struct JpegSegment {
    quint8 code = 0;
    qint64 dataAt = 0;  // the first byte after the length field
    qint64 length = 0;  // the bytes of data, within the file
};

// The segments of the first image, in order, up to the start of scan or the first damage.
QList<JpegSegment> jpegSegments(QIODevice& file);

// The data offset of the first APPn segment (code 0xE0 + n) whose data begins with signature;
// -1 when there is none.
qint64 findJpegApp(QIODevice& file, quint8 code, const QByteArray& signature);

} // namespace imaging::detail
