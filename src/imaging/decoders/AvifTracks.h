#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QSize>

namespace imaging::detail {

// Whether a file's first bytes (its 'ftyp' box) name the AVIF image sequence brand 'avis',
// as major or compatible brand. A still AVIF names only 'avif'.
bool isAvifSequence(const QByteArray& head);

// What the header of a sequence's colour track (the first not auxiliary to another) says.
struct AvifTrack {
    // The size in its track header, checked against the budget before libavif reads the
    // file; empty when there is none.
    QSize size;
    // How many times it plays through, from its edit list, as libavif 1.0 reads it (0.11
    // does not): 1 for a list without the repeat flag, the track's duration over the edit's,
    // rounded up, with it; 0 for ever when the list or the track duration is missing.
    int playCount = 0;
};

AvifTrack readAvifTrack(QIODevice& file);

} // namespace imaging::detail
