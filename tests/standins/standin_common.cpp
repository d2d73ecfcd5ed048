#include "tests/standins/standin_common.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace standin {
namespace {

constexpr char kMagic[] = "\x7FKSE";

std::uint8_t KeyByte(std::uint32_t& state) {
  state = state * 1103515245u + 12345u;
  return static_cast<std::uint8_t>(state >> 16);
}

std::string Mix(const std::string& bytes, int variant) {
  std::string out = bytes;
  std::uint32_t state = 0x9E3779B9u ^ static_cast<std::uint32_t>(variant);
  for (char& c : out) c = static_cast<char>(static_cast<std::uint8_t>(c) ^ KeyByte(state));
  return out;
}

}  // namespace

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::string ToUtf16Le(const std::string& utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : wide) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8 & 0xFF);
  }
  return bytes;
}

std::string AsPlainText(const std::string& bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return bytes.substr(3);
  if (!bytes.starts_with("\xFF\xFE")) return bytes;
  std::wstring wide;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2)
    wide += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
  return Utf8(wide);
}

std::wstring ExeFolder() {
  wchar_t path[4096];
  const DWORD length = GetModuleFileNameW(nullptr, path, 4096);
  std::wstring full(path, length);
  return full.substr(0, full.find_last_of(L"\\/"));
}

std::wstring WorkingFolder() {
  wchar_t path[4096];
  const DWORD length = GetCurrentDirectoryW(4096, path);
  return std::wstring(path, length);
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
  CloseHandle(file);
  return ok;
}

void Log(const char* program, const std::string& text) {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const std::uint64_t unixMs = ticks / 10000 - 11644473600000ull;
  const std::string line = std::to_string(unixMs) + " " + program + " " + text + "\r\n";
  const std::wstring path = ExeFolder() + L"\\standins.log";
  // Appends are whole lines even when the tool and the client log at the same moment.
  for (int attempt = 0; attempt < 50; ++attempt) {
    const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      Sleep(20);
      continue;
    }
    DWORD put = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &put, nullptr);
    CloseHandle(file);
    return;
  }
}

int ControlSeconds(const wchar_t* name) {
  const auto text = ReadWholeFile(ExeFolder() + L"\\" + name);
  return text ? std::atoi(text->c_str()) : 0;
}

std::string Encode(const std::string& plain, int variant) {
  char header[16];
  std::snprintf(header, sizeof(header), "%s%03d", kMagic, variant);
  return std::string(header) + Mix(plain, variant);
}

std::optional<std::string> Decode(const std::string& encoded) {
  constexpr size_t kHeader = sizeof(kMagic) - 1 + 3;
  if (encoded.size() < kHeader || encoded.compare(0, sizeof(kMagic) - 1, kMagic) != 0) return std::nullopt;
  const int variant = std::atoi(encoded.substr(sizeof(kMagic) - 1, 3).c_str());
  return Mix(encoded.substr(kHeader), variant);
}

}  // namespace standin
