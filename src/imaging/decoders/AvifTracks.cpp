#include "imaging/decoders/AvifTracks.h"

#include "imaging/support/ByteReading.h"

#include <algorithm>

namespace imaging::detail {

namespace {

// A real file has a handful of boxes at each level; walking more is a waste.
constexpr int kMaxBoxes = 1024;

struct Box {
    QByteArray type;
    qint64 payload = 0; // where its contents start
    qint64 end = 0;
};

// The box starting at `at`, within [at, limit).
bool readBox(QIODevice& file, qint64 at, qint64 limit, Box& box)
{
    if (at + 8 > limit || !file.seek(at))
        return false;
    const QByteArray head = file.read(16);
    if (head.size() < 8)
        return false;
    quint64 size = readBigEndian32(head, 0);
    box.type = head.mid(4, 4);
    box.payload = at + 8;
    if (size == 1) {
        if (head.size() < 16)
            return false;
        size = readBigEndian64(head, 8);
        box.payload = at + 16;
    } else if (size == 0) {
        size = quint64(limit - at);
    }
    if (size < quint64(box.payload - at) || size > quint64(limit - at))
        return false;
    box.end = at + qint64(size);
    return true;
}

// The first box of this type directly within [from, to).
bool findBox(QIODevice& file, qint64 from, qint64 to, const char* type, Box& found)
{
    Box box;
    for (int i = 0; i < kMaxBoxes && readBox(file, from, to, box); ++i) {
        if (box.type == type) {
            found = box;
            return true;
        }
        from = box.end;
    }
    return false;
}

// Up to the first 'size' bytes of a box's contents; fields past its end read as 0.
QByteArray contents(QIODevice& file, const Box& box, qint64 size)
{
    return file.seek(box.payload) ? file.read(std::min(size, box.end - box.payload)) : QByteArray();
}

struct Track {
    QSize size;
    bool auxiliary = false;
    bool hasEditList = false;
    bool repeats = false;
    quint64 duration = 0; // in the movie's timescale; all ones when unknown
    quint64 editDuration = 0;
};

Track readTrack(QIODevice& file, const Box& trak)
{
    Track track;
    Box box;
    if (findBox(file, trak.payload, trak.end, "tkhd", box)) {
        const QByteArray tkhd = contents(file, box, 96);
        const bool wide = readByte(tkhd, 0) == 1;
        track.duration = wide ? readBigEndian64(tkhd, 28) : readBigEndian32(tkhd, 20);
        if (!wide && track.duration == 0xFFFFFFFFu)
            track.duration = ~quint64(0);
        // 16.16 fixed point, after the matrix.
        const qsizetype at = wide ? 88 : 76;
        track.size =
            QSize(int(readBigEndian32(tkhd, at) >> 16), int(readBigEndian32(tkhd, at + 4) >> 16));
    }
    Box tref;
    track.auxiliary = findBox(file, trak.payload, trak.end, "tref", tref) &&
                      findBox(file, tref.payload, tref.end, "auxl", box);
    Box edts;
    if (findBox(file, trak.payload, trak.end, "edts", edts) &&
        findBox(file, edts.payload, edts.end, "elst", box)) {
        const QByteArray elst = contents(file, box, 16);
        track.hasEditList = elst.size() >= 12;
        track.repeats = (readBigEndian32(elst, 0) & 1) != 0;
        const bool wide = readByte(elst, 0) == 1;
        track.editDuration = wide ? readBigEndian64(elst, 8) : readBigEndian32(elst, 8);
    }
    return track;
}

int playCount(const Track& track)
{
    if (!track.hasEditList)
        return 0;
    if (!track.repeats)
        return 1;
    if (track.duration == ~quint64(0) || track.editDuration == 0)
        return 0;
    const quint64 plays =
        track.duration / track.editDuration + (track.duration % track.editDuration != 0 ? 1 : 0);
    return plays > quint64(1) << 30 ? 0 : int(std::max<quint64>(plays, 1));
}

} // namespace

bool isAvifSequence(const QByteArray& head)
{
    const qsizetype size = qsizetype(readBigEndian32(head, 0));
    if (head.mid(4, 4) != "ftyp" || size < 16)
        return false;
    // The major brand, then the compatible ones after the minor version.
    for (qsizetype at = 8; at + 4 <= std::min(size, head.size()); at += at == 8 ? 8 : 4) {
        if (head.mid(at, 4) == "avis")
            return true;
    }
    return false;
}

AvifTrack readAvifTrack(QIODevice& file)
{
    Box moov;
    if (!findBox(file, 0, file.size(), "moov", moov))
        return {};
    qint64 from = moov.payload;
    Box trak;
    for (int i = 0; i < kMaxBoxes && findBox(file, from, moov.end, "trak", trak); ++i) {
        from = trak.end;
        const Track track = readTrack(file, trak);
        if (!track.auxiliary)
            return {track.size, playCount(track)};
    }
    return {};
}

} // namespace imaging::detail
