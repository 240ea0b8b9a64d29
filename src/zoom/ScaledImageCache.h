#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>

// Keeps one copy of an image smoothly scaled down to the size it is drawn at, so a paint never
// scales the whole picture. Large images are scaled on the thread pool; until the copy arrives
// the closest copy at hand stands in.
class ScaledImageCache : public QObject {
    Q_OBJECT

public:
    explicit ScaledImageCache(QObject* parent = nullptr);
    ~ScaledImageCache() override;

    // refines: the new source is a sharper picture of the old one (a photo after its preview),
    // whose copy then stands in until the new one is made.
    void setSource(const QImage& source, bool refines = false);

    struct Copy {
        QImage image; // null when nothing can stand in yet
        bool exact = false;
    };
    // The copy of exactly this many pixels, for a screen of this pixel ratio: made now for a small
    // image, otherwise started in the background, in which case a stand-in comes back.
    Copy copyFor(const QSize& size, double devicePixelRatio);
    bool hasCopy(const QSize& size, double devicePixelRatio) const;

    // Scales an image that may become the source soon (a neighbour about to be shown) in the
    // background, so that its first frame needs no scaling. The last kPreparedKept images asked
    // for are kept, and so is the copy of the source a new source replaces.
    void prepare(const QImage& image, const QSize& size, double devicePixelRatio);
    bool isPrepared(const QImage& image, const QSize& size, double devicePixelRatio) const;
    static constexpr int kPreparedKept = 2;

    // Images up to this many pixels are scaled at once: that takes about a millisecond.
    static constexpr qint64 kScaleAtOncePixels = 1'000'000;

Q_SIGNALS:
    // A background copy has arrived; the owner repaints.
    void copyReady();

private:
    void startScaling();
    void keepPrepared(qint64 key, const QImage& copy);

    struct Prepared {
        qint64 key = 0;
        QSize size;
        double ratio = 1.0;
        QImage copy; // null while it is being scaled
    };

    QImage m_source;
    QImage m_copy;
    bool m_copyIsSampled = false; // a quick stand-in, not the smooth copy
    QSize m_wanted;
    double m_wantedRatio = 1.0;
    bool m_isScaling = false;
    quint64 m_generation = 0;
    QList<Prepared> m_prepared; // oldest first
};
