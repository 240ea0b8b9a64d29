#pragma once

#include <QImage>
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

    void setSource(const QImage& source);
    const QImage& source() const { return m_source; }

    struct Copy {
        QImage image; // null when nothing can stand in yet
        bool exact = false;
    };
    // The copy of exactly this many pixels, for a screen of this pixel ratio: made now for a small
    // image, otherwise started in the background, in which case a stand-in comes back.
    Copy copyFor(const QSize& size, double devicePixelRatio);
    bool hasCopy(const QSize& size, double devicePixelRatio) const;

    // Images up to this many pixels are scaled at once: that takes about a millisecond.
    static constexpr qint64 kScaleAtOncePixels = 1'000'000;

Q_SIGNALS:
    // A background copy has arrived; the owner repaints.
    void copyReady();

private:
    void startScaling();

    QImage m_source;
    QImage m_copy;
    QSize m_wanted;
    double m_wantedRatio = 1.0;
    bool m_isScaling = false;
    quint64 m_generation = 0;
};
