// The translations' decoder, checked against the format's reference encoder: whatever zlib
// packs as raw DEFLATE, at every level and strategy, comes back byte for byte; a stream cut
// short, bent or of another size is refused, never read past.
#include <zlib.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/inflate.h"

namespace kestrane::testing {
namespace {

std::string Deflate(const std::string& raw, int level, int strategy) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, level, Z_DEFLATED, -15, 9, strategy), Z_OK);
  std::string packed(deflateBound(&stream, raw.size()) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
  stream.avail_in = static_cast<uInt>(raw.size());
  stream.next_out = reinterpret_cast<Bytef*>(packed.data());
  stream.avail_out = static_cast<uInt>(packed.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  packed.resize(stream.total_out);
  deflateEnd(&stream);
  return packed;
}

// Texts like the translations (repeated words in several scripts), bytes of every value, and
// the lengths where blocks and matches change.
std::vector<std::string> Samples() {
  std::mt19937 random(20261210);
  std::vector<std::string> samples{"", "a", std::string(70000, 'x')};
  const std::string words[] = {"l2.ini ", "Kestrane ", "настройки ", "設定を ", "การตั้งค่า ", "ayarları ", "\n", "\0"};
  for (const size_t size : {10u, 300u, 4000u, 40000u}) {
    std::string text, bytes, fourLetters;
    while (text.size() < size) text += words[random() % std::size(words)];
    for (size_t i = 0; i < size; ++i) bytes.push_back(static_cast<char>(random()));
    for (size_t i = 0; i < size; ++i) fourLetters.push_back("abcd"[random() % 4]);  // matches of every length and distance
    samples.push_back(text);
    samples.push_back(bytes);
    samples.push_back(fourLetters);
  }
  std::string far;  // a match 30000 bytes back, the longest distance codes
  for (int i = 0; i < 30000; ++i) far.push_back(static_cast<char>(random()));
  samples.push_back(far + far);
  std::string lengths;  // one match of each length from 3 to 258
  for (int length = 3; length <= 258; ++length) {
    std::string block;
    for (int i = 0; i < length; ++i) block.push_back(static_cast<char>(random()));
    lengths += block + "\xff\xfe" + block + "\xfd\xfc";
  }
  samples.push_back(lengths);
  return samples;
}

TEST(Inflate, DecodesWhatZlibPacksAtEveryLevelAndStrategy) {
  for (const auto& raw : Samples())
    for (const int level : {0, 1, 6, 9})
      for (const int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
        const std::string packed = Deflate(raw, level, strategy);
        const auto decoded = Inflate(packed, raw.size());
        ASSERT_TRUE(decoded) << raw.size() << " bytes, level " << level << ", strategy " << strategy;
        EXPECT_EQ(*decoded, raw);
      }
}

TEST(Inflate, RefusesAStreamCutShortBentOrOfAnotherSize) {
  const std::string raw = Samples()[5];
  const std::string packed = Deflate(raw, 9, Z_DEFAULT_STRATEGY);
  EXPECT_FALSE(Inflate(packed, raw.size() + 1));
  EXPECT_FALSE(Inflate(packed, raw.size() - 1));
  for (size_t cut = 0; cut < packed.size(); cut += 7) EXPECT_FALSE(Inflate(packed.substr(0, cut), raw.size()));
  std::mt19937 random(7);
  for (int i = 0; i < 2000; ++i) {
    std::string bent = packed;
    bent[random() % bent.size()] ^= static_cast<char>(1 << (random() % 8));
    const auto decoded = Inflate(bent, raw.size());  // may decode to other bytes, never past its size
    if (decoded) {
      EXPECT_EQ(decoded->size(), raw.size());
    }
  }
}

}  // namespace
}  // namespace kestrane::testing
