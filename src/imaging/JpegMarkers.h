#pragma once

#include <QIODevice>

#include <functional>

namespace imaging::detail {

// Walks a JPEG's marker segments from the start of the file, so that markers inside
// segments (an embedded thumbnail in APP1) are skipped. The offset of the first marker whose
// code satisfies `wanted`, or -1 when the walk meets the end, damage or no such marker
// before the start of scan.
qint64 findJpegMarker(QIODevice& file, const std::function<bool(quint8 code)>& wanted);

} // namespace imaging::detail
