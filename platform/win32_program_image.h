#pragma once

#include <string>

namespace kestrane {

// Whether the program at path is one Windows may redirect: a 32-bit (x86) image whose
// embedded manifest, if any, names no execution level. False where it cannot be read.
bool MayBeVirtualized(const std::wstring& path);

}  // namespace kestrane
