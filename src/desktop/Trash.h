#pragma once

#include <QString>
#include <optional>

namespace desktop {

// Moves the file to the Trash the way the desktop does (GIO): the Trash of the user's data
// folder for a file on the home's file system, the volume's own .Trash-$UID otherwise, with the
// original path recorded for restoring. Nothing on success; GIO's description of the failure
// otherwise, and the file is then where it was. It waits on the disk: call it off the
// user-interface thread.
std::optional<QString> moveToTrash(const QString& path);

} // namespace desktop
