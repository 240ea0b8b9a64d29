#pragma once

namespace app {

// Starts reading the font configuration on a thread of its own. The window's first text
// would otherwise read it on the user-interface thread: about a fifth of a start's work
// before the first frame, parsing configuration files a picture on its own never needs.
void warmFontsInBackground();

} // namespace app
