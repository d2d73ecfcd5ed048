#pragma once

#include <optional>
#include <string>

// Shared by the stand-in tool and client that the demo and the end-to-end tests use.
namespace standin {

std::wstring ExeFolder();
std::wstring WorkingFolder();
std::optional<std::string> ReadWholeFile(const std::wstring& path);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
// Appends "<unix ms> <program> <text>" to standins.log in the stand-ins' folder.
void Log(const char* program, const std::string& text);
// Seconds read from a control file beside the executable; 0 when it is absent.
int ControlSeconds(const wchar_t* name);
std::string Utf8(const std::wstring& wide);
// UTF-8 text as UTF-16LE bytes with their byte-order mark.
std::string ToUtf16Le(const std::string& utf8);
// A decoded settings text in any of its forms (UTF-16LE or UTF-8 with their marks, or
// plain) as plain UTF-8.
std::string AsPlainText(const std::string& bytes);

// Our own reversible encoding: a header that names the variant, then the bytes mixed with
// a key stream, so that an encoded file does not read as an initialization file.
std::string Encode(const std::string& plain, int variant);
std::optional<std::string> Decode(const std::string& encoded);

}  // namespace standin
