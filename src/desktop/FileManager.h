#pragma once

#include <QString>

namespace desktop {

// Asks the file manager, over D-Bus, to show the file selected in its folder. When no file
// manager answers, the folder is opened instead. Returns at once; the answer comes later.
void revealFile(const QString& path);

} // namespace desktop
