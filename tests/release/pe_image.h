#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrane::testing {

// Just enough of a Windows executable's layout to check what it imports and carries.
class PeImage {
 public:
  static std::optional<PeImage> Load(const std::string& path);

  std::uint16_t Machine() const { return machine_; }
  std::vector<std::string> ImportedDlls() const;
  // The data of the first resource of a type (any name, any language).
  std::optional<std::vector<std::uint8_t>> Resource(std::uint32_t type) const;
  size_t Size() const { return bytes_.size(); }

 private:
  std::optional<size_t> Offset(std::uint32_t rva) const;
  std::uint16_t U16(size_t at) const;
  std::uint32_t U32(size_t at) const;

  struct Section {
    std::uint32_t rva, size, fileOffset;
  };
  std::vector<std::uint8_t> bytes_;
  std::vector<Section> sections_;
  std::uint16_t machine_ = 0;
  std::uint32_t importRva_ = 0;
  std::uint32_t resourceRva_ = 0;
};

// The value of a string in a version resource's string table, e.g. "ProductName".
std::optional<std::string> VersionString(const std::vector<std::uint8_t>& version, const std::string& key);
// FILEVERSION as "a.b.c.d", read from the fixed part of a version resource.
std::optional<std::string> FixedFileVersion(const std::vector<std::uint8_t>& version);

}  // namespace kestrane::testing
