#pragma once

#include <QByteArray>
#include <QImage>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace imaging::detail {

// A display profile that only Little CMS reads, one made of tables (A2B/B2A): Qt refuses
// those. Transforms into it are made once per source colour space and kept; converting is
// then safe from several threads at once.
class TableProfile {
public:
    // Null when Little CMS is missing or does not take the bytes as an RGB profile.
    static std::unique_ptr<TableProfile> open(const QByteArray& icc);
    ~TableProfile();
    TableProfile(const TableProfile&) = delete;
    TableProfile& operator=(const TableProfile&) = delete;

    // An RGB32 or ARGB32 image whose pixels are in the colour space of the ICC profile
    // `from`, into this profile, in place; the rows are shared among two threads. False when
    // no transform could be made, and the image is then untouched.
    bool convertFrom(QImage& image, const QByteArray& from) const;
    // The same from this profile into `to`.
    bool convertTo(QImage& image, const QByteArray& to) const;

private:
    explicit TableProfile(void* profile) : m_profile(profile) {}
    // The transform between this profile and `other`, either way; null when none can be made.
    // Shared: a transform dropped from the list stays alive while a conversion uses it.
    std::shared_ptr<void> transform(const QByteArray& other, bool into) const;
    bool convert(QImage& image, const QByteArray& other, bool into) const;

    void* m_profile;
    mutable std::mutex m_mutex;
    // The transforms made so far: the source's bytes, the direction and the transform.
    struct Made {
        QByteArray other;
        bool into;
        std::shared_ptr<void> transform;
    };
    mutable std::vector<Made> m_made;
};

} // namespace imaging::detail
