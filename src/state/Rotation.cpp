// Quarter turns that rewrite the shown file, or turn the view when it cannot be rewritten.
#include "state/AppState.h"

#include "desktop/FileReplacement.h"
#include "imaging/ImageService.h"

#include <cmath>

void AppState::rotateClockwise()
{
    rotateBy(1);
}

void AppState::rotateCounterclockwise()
{
    rotateBy(-1);
}

void AppState::rotateBy(int quarterTurns)
{
    if (!m_currentURL)
        return;
    const QUrl url = *m_currentURL;
    // A view still turned by an earlier failed rewrite hands its turns on to the file, so the
    // picture ends up where the user turned it once the view is reset.
    const int viewTurns = int(std::lround(m_rotation / 90.0));
    const int fileTurns = ((viewTurns + quarterTurns) % 4 + 4) % 4;
    const bool rewritten =
        fileTurns != 0 &&
        desktop::replaceFile(url.toLocalFile(),
                             [fileTurns](const QString& source, const QString& temporary) {
                                 return imaging::writeRotatedFile(source, temporary, fileTurns);
                             });
    if (rewritten) {
        setRotation(0);
        reloadCurrentImage();
        Q_EMIT fileRewritten(url);
        return;
    }
    double degrees = std::fmod(m_rotation + 90.0 * quarterTurns, 360.0);
    if (degrees < 0)
        degrees += 360.0;
    setRotation(degrees);
}
