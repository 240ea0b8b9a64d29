#pragma once

class QImage;
class QUrl;

namespace desktop {

// Puts the shown file on the system clipboard in place of whatever was there: at once as a
// file (text/uri-list and the file managers' copied-files type), so that a file manager pastes
// the file itself, and, once a worker has encoded it, also as a PNG of the image as it is. A
// paste is never served by encoding on the user-interface thread. No JPEG is offered: a new
// one would lose the camera's metadata.
void copyImage(const QImage& image, const QUrl& file);

} // namespace desktop
