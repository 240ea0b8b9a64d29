#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>

class QSocketNotifier;
struct xcb_connection_t;

// The screens' ICC profiles as X11 publishes them (ICC Profiles in X): the root window's
// _ICC_PROFILE for the first screen, _ICC_PROFILE_<n> for screen n of a Xinerama or RandR
// set-up, each a property of 8-bit items holding the whole profile.
namespace desktop::x11 {

// The name of the property holding screen `number`'s profile.
QByteArray iccProfileAtom(int number);

// The first screen's profile, read over a connection of its own to $DISPLAY, so that it can be
// called before the application object exists; empty when there is no X server or no profile.
// The connection is kept for the first ProfileWatch to take: an X server whose only client
// leaves resets, and a connection Qt makes during that reset is refused ("no Qt platform
// plugin").
QByteArray readStartupProfile();

// Keeps watch on the root window's profile properties over a connection of its own, whose
// events go to no one else: Qt's connection has its own interest in the root window.
class ProfileWatch : public QObject {
    Q_OBJECT

public:
    explicit ProfileWatch(QObject* parent = nullptr);
    ~ProfileWatch() override;

    // False when no X server could be reached: profile() is then always empty.
    bool isWatching() const { return m_connection != nullptr; }
    QByteArray profile(int number) const;

Q_SIGNALS:
    // One of the profile properties was set, changed or removed.
    void changed();

private:
    void readEvents();
    bool isProfileAtom(quint32 atom);

    ::xcb_connection_t* m_connection = nullptr;
    quint32 m_root = 0;
    QSocketNotifier* m_notifier = nullptr;
    // Atoms seen in property notices, and whether each names a profile.
    QHash<quint32, bool> m_atoms;
};

} // namespace desktop::x11
