#pragma once

#include <QObject>

class AppState;
class QWindow;

namespace desktop {
class ScreenProfile;
}

namespace app {

// Keeps the process's display profile (imaging::setDisplayProfile) that of the screen the
// window is on. When it changes (a new profile published, the window moved to a screen with
// another one), the shown picture is decoded again, the neighbours decoded ahead are dropped,
// and the strip's thumbnails are made again, all in the new profile's colours.
class ScreenColour : public QObject {
    Q_OBJECT

public:
    // Reads the first screen's profile and sets it before anything is shown.
    explicit ScreenColour(AppState& state, QObject* parent = nullptr);

    void follow(QWindow* window);

private:
    void apply(const QByteArray& icc);

    AppState& m_state;
    desktop::ScreenProfile* m_profile;
};

} // namespace app
