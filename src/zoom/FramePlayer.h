#pragma once

#include "base/TestAccess.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

namespace imaging {
class AnimatedImage;
}

// Plays an animated GIF or WebP file at its own frame delays. Frames are decoded on the thread
// pool, one ahead of the one shown; a still image runs no timer at all.
class FramePlayer : public QObject {
    Q_OBJECT

public:
    explicit FramePlayer(QObject* parent = nullptr);
    ~FramePlayer() override;

    // Starts over with this file; a path that is no GIF or WebP file only stops.
    void play(const QString& path);
    void stop();

Q_SIGNALS:
    // The next frame is due on screen.
    void frameReady(const QImage& frame);

private:
    friend struct TestAccess;

    void decodeNext();
    void showIfDue();

    struct Frame {
        QImage image;
        int delayMs = 0;
    };

    std::shared_ptr<imaging::AnimatedImage> m_animation;
    std::optional<Frame> m_decoded;
    QTimer m_timer;
    quint64 m_generation = 0;
};
