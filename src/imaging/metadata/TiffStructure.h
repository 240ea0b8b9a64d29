#pragma once

#include <QIODevice>
#include <QList>

#include <optional>

// The directories (IFDs) of a TIFF structure read from untrusted bytes: a TIFF file, a raw
// file built on TIFF, or the Exif block of a JPEG. Every count and offset is checked against
// the device before it is used; nothing is allocated from a size the file claims.
namespace imaging::detail {

enum class TiffType : quint16 { Byte = 1, Ascii = 2, Short = 3, Long = 4, Undefined = 7 };

struct TiffEntry {
    quint16 tag = 0;
    quint16 type = 0;
    quint32 count = 0;
    // The entry's four value bytes as stored: the value itself when it fits, else an offset.
    quint32 field = 0;
    // Where the entry starts in the device.
    qint64 at = 0;
};

struct TiffDirectory {
    qint64 at = 0; // where its entry count is, in the device
    QList<TiffEntry> entries;
    quint32 next = 0; // the next directory's offset, relative to the structure's start
};

class TiffStructure {
public:
    // The structure whose header ("II*\0", "MM\0*", or the raw variants with another magic
    // number) starts at base in device; nothing when there is none.
    static std::optional<TiffStructure> open(QIODevice& device, qint64 base = 0);

    bool littleEndian() const { return m_little; }
    qint64 base() const { return m_base; }
    // The first directory's offset, relative to base; it sits in the header's bytes 4 to 7.
    quint32 firstOffset() const { return m_first; }

    // The directory at offset (relative to base), when all its entries lie within the device.
    std::optional<TiffDirectory> directory(quint32 offset) const;
    std::optional<TiffDirectory> firstDirectory() const { return directory(m_first); }

    // How many directories can be read along the chain from the first one (the pages of a
    // TIFF), up to where it breaks or loops; nothing when not even the first can.
    std::optional<int> pageCount() const;

    // An entry's first value as an unsigned integer, for BYTE, SHORT and LONG entries whose
    // values are stored in the entry itself.
    std::optional<quint32> inlineValue(const TiffEntry& entry) const;
    // All values of a SHORT or LONG entry, read where they are stored (at most maxCount).
    QList<quint32> values(const TiffEntry& entry, int maxCount = 64) const;

private:
    TiffStructure(QIODevice& device, qint64 base, bool little, quint32 first)
        : m_device(&device), m_base(base), m_little(little), m_first(first)
    {
    }

    QIODevice* m_device;
    qint64 m_base;
    bool m_little;
    quint32 m_first;
};

// The entries of a directory with the given tag.
QList<TiffEntry> entriesWithTag(const TiffDirectory& directory, quint16 tag);

} // namespace imaging::detail
