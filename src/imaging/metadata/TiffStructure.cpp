#include "imaging/metadata/TiffStructure.h"

#include "imaging/support/ByteReading.h"

#include <QSet>

namespace imaging::detail {

namespace {

// More entries than any real directory holds, and more pages than a viewer would walk.
constexpr int kMaxEntries = 4096;
constexpr int kMaxPages = 65536;

int typeSize(quint16 type)
{
    switch (type) {
    case 1: // BYTE
    case 2: // ASCII
    case 6: // SBYTE
    case 7: // UNDEFINED
        return 1;
    case 3: // SHORT
    case 8: // SSHORT
        return 2;
    case 4:  // LONG
    case 9:  // SLONG
    case 11: // FLOAT
    case 13: // IFD
        return 4;
    default: // rationals, doubles and anything unknown
        return 8;
    }
}

} // namespace

std::optional<TiffStructure> TiffStructure::open(QIODevice& device, qint64 base)
{
    if (base < 0 || !device.seek(base))
        return std::nullopt;
    const QByteArray header = readExactly(device, 8);
    if (header.size() != 8)
        return std::nullopt;
    const bool little = header.startsWith("II");
    if (!little && !header.startsWith("MM"))
        return std::nullopt;
    // 42 for TIFF; Olympus and Panasonic raw files put their own numbers there.
    const quint16 magic = readEndian16(header, 2, little);
    if (magic != 42 && magic != 0x4F52 && magic != 0x5352 && magic != 0x55)
        return std::nullopt;
    return TiffStructure(device, base, little, readEndian32(header, 4, little));
}

std::optional<TiffDirectory> TiffStructure::directory(quint32 offset) const
{
    const qint64 at = m_base + qint64(offset);
    if (offset < 8 || !m_device->seek(at))
        return std::nullopt;
    const QByteArray countBytes = readExactly(*m_device, 2);
    const int count = readEndian16(countBytes, 0, m_little);
    if (countBytes.size() != 2 || count > kMaxEntries)
        return std::nullopt;
    const QByteArray bytes = readExactly(*m_device, qint64(count) * 12 + 4);
    if (bytes.isEmpty())
        return std::nullopt;
    TiffDirectory directory;
    directory.at = at;
    directory.entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        const qsizetype e = qsizetype(i) * 12;
        directory.entries.append({readEndian16(bytes, e, m_little),
                                  readEndian16(bytes, e + 2, m_little),
                                  readEndian32(bytes, e + 4, m_little),
                                  readEndian32(bytes, e + 8, m_little), at + 2 + e});
    }
    directory.next = readEndian32(bytes, qsizetype(count) * 12, m_little);
    return directory;
}

std::optional<int> TiffStructure::pageCount() const
{
    QSet<quint32> seen;
    // Readers stop where the chain breaks or turns back on itself, and so does this count.
    for (quint32 offset = m_first; offset != 0 && !seen.contains(offset) && seen.size() < kMaxPages;) {
        const std::optional<TiffDirectory> page = directory(offset);
        if (!page)
            break;
        seen.insert(offset);
        offset = page->next;
    }
    return seen.isEmpty() ? std::nullopt : std::optional<int>(int(seen.size()));
}

std::optional<quint32> TiffStructure::inlineValue(const TiffEntry& entry) const
{
    if (entry.count < 1 || qint64(entry.count) * typeSize(entry.type) > 4)
        return std::nullopt;
    QByteArray field(4, '\0');
    // The four bytes as stored, so that a SHORT is read from the first two whatever the order.
    for (int i = 0; i < 4; ++i)
        field[i] = char(m_little ? entry.field >> (8 * i) : entry.field >> (8 * (3 - i)));
    switch (entry.type) {
    case quint16(TiffType::Byte):
        return readByte(field, 0);
    case quint16(TiffType::Short):
        return readEndian16(field, 0, m_little);
    case quint16(TiffType::Long):
        return readEndian32(field, 0, m_little);
    default:
        return std::nullopt;
    }
}

QList<quint32> TiffStructure::values(const TiffEntry& entry, int maxCount) const
{
    const int size = typeSize(entry.type);
    if ((entry.type != quint16(TiffType::Short) && entry.type != quint16(TiffType::Long)) ||
        entry.count < 1 || qint64(entry.count) > maxCount)
        return {};
    const qint64 bytes = qint64(entry.count) * size;
    const qint64 at = bytes <= 4 ? entry.at + 8 : m_base + qint64(entry.field);
    if (!m_device->seek(at))
        return {};
    const QByteArray data = readExactly(*m_device, bytes);
    if (data.isEmpty())
        return {};
    QList<quint32> result;
    for (quint32 i = 0; i < entry.count; ++i) {
        result.append(size == 2 ? readEndian16(data, qsizetype(i) * 2, m_little)
                                : readEndian32(data, qsizetype(i) * 4, m_little));
    }
    return result;
}

QList<TiffEntry> entriesWithTag(const TiffDirectory& directory, quint16 tag)
{
    QList<TiffEntry> found;
    for (const TiffEntry& entry : directory.entries) {
        if (entry.tag == tag)
            found.append(entry);
    }
    return found;
}

} // namespace imaging::detail
