#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QDBusMessage;

// The display profiles colord holds, read over the system bus: on Wayland the one source of a
// screen's profile a client can ask (the compositor tells none).
namespace desktop::colord {

// colord's default profile for the display on the output named `output` (QScreen::name(),
// which on Wayland is the connector colord records as XRANDR_name), else for the primary
// display, else for the first it lists. colord is asked only when it runs: it is never
// started for this. Blocks for at most a few short time-outs, so it belongs off the
// user-interface thread; safe from any thread. Empty when there is no such profile.
QByteArray displayProfile(const QString& output);

// Tells when colord's displays or profiles change.
class Watch : public QObject {
    Q_OBJECT

public:
    explicit Watch(QObject* parent = nullptr);

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void notice(const QDBusMessage& message);
};

} // namespace desktop::colord
