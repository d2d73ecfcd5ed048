#pragma once

#include <windows.h>

#include <string>

#include "platform/win32_files.h"

namespace kestrane {

// Creates and removes a new file in folder; the error where the folder refuses it. A name
// that a file already has (read-only, hidden, held, pending deletion) is passed over for
// the next one: only a refusal with nothing in the way is the folder's. A refusal as "not
// found" in a folder that is there sets folderThere. Where every name is taken, the check
// cannot tell and says nothing.
OsResult ProbeNewFile(const std::wstring& folder, bool& folderThere);
// Opens an existing file for writing, sharing everything, and changes nothing.
OsResult ProbeWritable(const std::wstring& path);
// The local application data folder, as the user's environment names it; empty if unknown.
std::wstring LocalAppDataFolder();
// Whether Windows may redirect the writes of the programs this process starts (file
// virtualization is allowed for its user); true where that cannot be told.
bool VirtualizationAllowed();

}  // namespace kestrane
