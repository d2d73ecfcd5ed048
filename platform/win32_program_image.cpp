#include "platform/win32_program_image.h"

#include <windows.h>

#include <array>

#include "platform/win32_util.h"

namespace kestrane {
namespace {

// The first bytes of an image: where its PE header says it runs.
bool IsX86Image(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.Valid()) return false;
  std::array<unsigned char, 4096> head{};
  DWORD got = 0;
  if (!ReadFile(file.Get(), head.data(), static_cast<DWORD>(head.size()), &got, nullptr) || got < 0x40) return false;
  if (head[0] != 'M' || head[1] != 'Z') return false;
  const DWORD pe = head[0x3c] | head[0x3d] << 8 | head[0x3e] << 16 | static_cast<DWORD>(head[0x3f]) << 24;
  if (pe > got - 6 || head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] || head[pe + 3]) return false;
  return (head[pe + 4] | head[pe + 5] << 8) == IMAGE_FILE_MACHINE_I386;
}

// The embedded manifest's text, read as data: nothing of the program runs.
std::string EmbeddedManifest(const std::wstring& path) {
  const HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!image) return {};
  std::string manifest;
  if (const HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)))  // RT_MANIFEST
    if (const HGLOBAL loaded = LoadResource(image, found))
      if (const void* bytes = LockResource(loaded))
        manifest.assign(static_cast<const char*>(bytes), SizeofResource(image, found));
  FreeLibrary(image);
  return manifest;
}

}  // namespace

bool MayBeVirtualized(const std::wstring& path) {
  return IsX86Image(path) && EmbeddedManifest(path).find("requestedExecutionLevel") == std::string::npos;
}

}  // namespace kestrane
