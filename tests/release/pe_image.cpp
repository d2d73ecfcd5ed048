#include "tests/release/pe_image.h"

#include <fstream>
#include <iterator>

namespace kestrane::testing {

std::uint16_t PeImage::U16(size_t at) const {
  return at + 2 <= bytes_.size() ? static_cast<std::uint16_t>(bytes_[at] | bytes_[at + 1] << 8) : 0;
}

std::uint32_t PeImage::U32(size_t at) const { return U16(at) | static_cast<std::uint32_t>(U16(at + 2)) << 16; }

std::optional<PeImage> PeImage::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  PeImage image;
  image.bytes_.assign(std::istreambuf_iterator<char>(in), {});
  const std::uint32_t pe = image.U32(0x3C);
  if (image.U16(0) != 0x5A4D || image.U32(pe) != 0x4550) return std::nullopt;
  image.machine_ = image.U16(pe + 4);
  const std::uint16_t sectionCount = image.U16(pe + 6);
  const std::uint16_t optionalSize = image.U16(pe + 20);
  const size_t optional = pe + 24;
  const bool plus = image.U16(optional) == 0x20B;
  const size_t directories = optional + (plus ? 112 : 96);
  image.importRva_ = image.U32(directories + 8 * 1);
  image.resourceRva_ = image.U32(directories + 8 * 2);
  for (size_t s = 0, at = optional + optionalSize; s < sectionCount; ++s, at += 40)
    image.sections_.push_back({image.U32(at + 12), image.U32(at + 16), image.U32(at + 20)});
  return image;
}

std::optional<size_t> PeImage::Offset(std::uint32_t rva) const {
  for (const auto& section : sections_)
    if (rva >= section.rva && rva < section.rva + section.size) return rva - section.rva + section.fileOffset;
  return std::nullopt;
}

std::vector<std::string> PeImage::ImportedDlls() const {
  std::vector<std::string> names;
  auto at = Offset(importRva_);
  for (; at && U32(*at + 12) != 0; *at += 20) {
    const auto name = Offset(U32(*at + 12));
    if (!name) break;
    std::string dll;
    for (size_t i = *name; i < bytes_.size() && bytes_[i]; ++i) dll.push_back(static_cast<char>(bytes_[i]));
    names.push_back(dll);
  }
  return names;
}

// Resource directories: type, then name, then language; the first entry at each level
// below the type is enough here.
std::optional<std::vector<std::uint8_t>> PeImage::Resource(std::uint32_t type) const {
  const auto root = Offset(resourceRva_);
  if (!root) return std::nullopt;
  const auto entries = [&](size_t dir) { return static_cast<size_t>(U16(dir + 12)) + U16(dir + 14); };
  size_t dir = *root;
  std::uint32_t target = 0;
  for (size_t i = 0; i < entries(dir); ++i)
    if (U32(dir + 16 + 8 * i) == type) target = U32(dir + 16 + 8 * i + 4);
  if (!target) return std::nullopt;
  for (int level = 0; level < 2; ++level) {
    if (!(target & 0x80000000u)) return std::nullopt;
    dir = *root + (target & 0x7FFFFFFFu);
    if (entries(dir) == 0) return std::nullopt;
    target = U32(dir + 16 + 4);
  }
  const size_t entry = *root + target;
  const auto data = Offset(U32(entry));
  const std::uint32_t size = U32(entry + 4);
  if (!data || *data + size > bytes_.size()) return std::nullopt;
  return std::vector<std::uint8_t>(bytes_.begin() + static_cast<std::ptrdiff_t>(*data),
                                   bytes_.begin() + static_cast<std::ptrdiff_t>(*data + size));
}

namespace {

std::u16string Utf16At(const std::vector<std::uint8_t>& blob, size_t at) {
  std::u16string text;
  for (; at + 1 < blob.size(); at += 2) {
    const char16_t c = static_cast<char16_t>(blob[at] | blob[at + 1] << 8);
    if (!c) break;
    text.push_back(c);
  }
  return text;
}

}  // namespace

std::optional<std::string> VersionString(const std::vector<std::uint8_t>& version, const std::string& key) {
  // A String block: wLength, wValueLength, wType, the key, padding to 32 bits, the value.
  for (size_t at = 6; at + 2 * key.size() + 2 < version.size(); at += 2) {
    bool match = true;
    for (size_t i = 0; i <= key.size() && match; ++i) {
      const char16_t want = i < key.size() ? static_cast<char16_t>(key[i]) : 0;
      match = (version[at + 2 * i] | version[at + 2 * i + 1] << 8) == want;
    }
    if (!match) continue;
    size_t value = at + 2 * key.size() + 2;
    value = (value + 3) & ~size_t{3};
    std::string out;
    for (char16_t c : Utf16At(version, value)) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
  }
  return std::nullopt;
}

std::optional<std::string> FixedFileVersion(const std::vector<std::uint8_t>& version) {
  for (size_t at = 0; at + 16 <= version.size(); at += 4) {
    const std::uint32_t signature = version[at] | version[at + 1] << 8 | version[at + 2] << 16 |
                                    static_cast<std::uint32_t>(version[at + 3]) << 24;
    if (signature != 0xFEEF04BDu) continue;
    const auto word = [&](size_t o) { return version[o] | version[o + 1] << 8; };
    return std::to_string(word(at + 10)) + "." + std::to_string(word(at + 8)) + "." + std::to_string(word(at + 14)) +
           "." + std::to_string(word(at + 12));
  }
  return std::nullopt;
}

}  // namespace kestrane::testing
