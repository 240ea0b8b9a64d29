#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>

class QWindow;

namespace desktop {

namespace x11 {
class ProfileWatch;
}
namespace colord {
class Watch;
}

// The ICC profile of the screen a window is on, kept up to date: on X11 the root window's
// property for that screen, watched for changes; on Wayland colord's profile for its output,
// where colord runs; none otherwise. Lives on the user-interface thread.
class ScreenProfile : public QObject {
    Q_OBJECT

public:
    explicit ScreenProfile(QObject* parent = nullptr);
    ~ScreenProfile() override;

    // Follows the screen the window is on: moved to another screen, it takes that one's
    // profile. Until a window is given, the first screen's.
    void follow(QWindow* window);

    // What is known now: read at once on X11; on Wayland empty until colord has answered.
    const QByteArray& profile() const { return m_profile; }

Q_SIGNALS:
    void profileChanged(const QByteArray& icc);

private:
    void reread();
    void take(const QByteArray& icc);

    QPointer<QWindow> m_window;
    x11::ProfileWatch* m_x11 = nullptr;
    colord::Watch* m_colord = nullptr;
    QByteArray m_profile;
    // Answers from colord come back in the order asked; only the latest counts.
    quint64 m_asked = 0;
};

// The first screen's profile as X11 publishes it, read before the application object exists,
// for the photo decoded at start; empty where Qt will not use X11 (a Wayland session) or no
// profile is published.
QByteArray startupScreenProfile();

} // namespace desktop
