#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// Decodes raw DEFLATE data (RFC 1951, no zlib or gzip wrapper) of a known decoded size, as
// Python's zlib writes the translations at build time. Empty where the data is not a whole,
// valid stream of exactly that size.
std::optional<std::string> Inflate(std::string_view packed, std::size_t size);

}  // namespace kestrane
