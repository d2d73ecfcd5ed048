#pragma once

#include <algorithm>
#include <array>
#include <string_view>

namespace kestrane {

// A constant text joined at compile time from constant texts, so that a command line names
// the files by the very constants that name them elsewhere.
template <const std::string_view&... Pieces>
inline constexpr auto kJoinedChars = [] {
  std::array<char, (Pieces.size() + ...)> chars{};
  auto at = chars.begin();
  ((at = std::ranges::copy(Pieces, at).out), ...);
  return chars;
}();

template <const std::string_view&... Pieces>
inline constexpr std::string_view kJoined{kJoinedChars<Pieces...>.data(), kJoinedChars<Pieces...>.size()};

}  // namespace kestrane
