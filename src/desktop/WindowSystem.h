#pragma once

// What differs between the window systems Pelu runs on.
namespace desktop {

// False where the window system neither reports nor obeys a window's position (Wayland): the
// compositor places windows there, and a position read back is made up.
bool windowPositionsKnown();

} // namespace desktop
