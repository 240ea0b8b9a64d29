#pragma once

#include <QString>
#include <optional>

namespace desktop {

// Moves the file to the user's Trash. Nothing on success; the system's description of the
// failure otherwise.
std::optional<QString> moveToTrash(const QString& path);

} // namespace desktop
