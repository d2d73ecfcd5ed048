#pragma once

#include <optional>

#include "platform/platform_ops.h"

namespace kestrane {

// Why Kestrane's folder refuses the files that Kestrane and the tool make there, where that
// is the folder's doing and not one file's: a path too long for the names Kestrane makes
// beside the client's files, or a probe of the folder refused. Empty where the folder
// takes new files, or where the probe could not tell.
std::optional<Failure> FolderRefusal(PlatformOps& platform);

// Before a mode starts the tool: what would make the tool or the client miss the mode,
// found while nothing has been changed yet. A network folder, a copy of the settings that
// Windows redirects the tool and the client to, a folder that refuses new files, an
// "l2.ini" that cannot be written.
OpResult CheckFolderBeforeTool(PlatformOps& platform);

}  // namespace kestrane
