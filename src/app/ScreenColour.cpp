#include "app/ScreenColour.h"

#include "desktop/ScreenProfile.h"
#include "imaging/colour/DisplayColour.h"
#include "state/AppState.h"
#include "thumbnailcache/ThumbnailCache.h"

namespace app {

ScreenColour::ScreenColour(AppState& state, QObject* parent)
    : QObject(parent), m_state(state), m_profile(new desktop::ScreenProfile(this))
{
    imaging::setDisplayProfile(m_profile->profile());
    connect(m_profile, &desktop::ScreenProfile::profileChanged, this, &ScreenColour::apply);
}

void ScreenColour::follow(QWindow* window)
{
    m_profile->follow(window);
}

void ScreenColour::apply(const QByteArray& icc)
{
    if (!imaging::setDisplayProfile(icc))
        return;
    ThumbnailCache::shared().clear();
    m_state.redecodeForScreen();
}

} // namespace app
