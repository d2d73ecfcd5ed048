#include "app/inflate.h"

#include <array>

namespace kestrane {
namespace {

constexpr int kMaxBits = 15;
constexpr int kEndOfBlock = 256;

// Bits from the stream, least significant first, as DEFLATE packs them.
class BitReader {
 public:
  explicit BitReader(std::string_view data) : data_(data) {}

  int Bits(int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
      if (at_ >= data_.size()) {
        failed_ = true;
        return 0;
      }
      value |= ((static_cast<unsigned char>(data_[at_]) >> bit_) & 1) << i;
      if (++bit_ == 8) {
        bit_ = 0;
        ++at_;
      }
    }
    return value;
  }
  void SkipToByte() {
    if (bit_ == 0) return;
    bit_ = 0;
    ++at_;
  }
  bool Failed() const { return failed_; }

 private:
  std::string_view data_;
  std::size_t at_ = 0;
  int bit_ = 0;
  bool failed_ = false;
};

// A canonical Huffman code: how many codes of each length, and the symbols in code order.
class Huffman {
 public:
  // False for a code that assigns more codes than its lengths allow; an incomplete one is
  // valid (a stream with a single distance code has one).
  bool Build(const short* lengths, int symbols) {
    count_.fill(0);
    for (int i = 0; i < symbols; ++i) ++count_[lengths[i]];
    int left = 1;
    for (int length = 1; length <= kMaxBits; ++length) {
      left = left * 2 - count_[length];
      if (left < 0) return false;
    }
    std::array<int, kMaxBits + 2> offset{};
    for (int length = 1; length <= kMaxBits; ++length) offset[length + 1] = offset[length] + count_[length];
    for (int i = 0; i < symbols; ++i)
      if (lengths[i]) symbol_[offset[lengths[i]]++] = static_cast<short>(i);
    return true;
  }

  // The next symbol; -1 where the bits make no code of this table.
  int Decode(BitReader& in) const {
    int code = 0, first = 0, index = 0;
    for (int length = 1; length <= kMaxBits; ++length) {
      code |= in.Bits(1);
      if (in.Failed()) return -1;
      const int count = count_[length];
      if (code - first < count) return symbol_[index + code - first];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return -1;
  }

 private:
  std::array<short, kMaxBits + 1> count_{};
  std::array<short, 288> symbol_{};
};

constexpr std::array<short, 29> kLengthBase{3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<short, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<unsigned short, 30> kDistanceBase{1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                                       33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                                       1025, 1537, 2049, 3073, 4097, 6145,  8193,  12289, 16385,
                                                       24577};
constexpr std::array<short, 30> kDistanceExtra{0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                               6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

class Inflater {
 public:
  Inflater(std::string_view packed, std::size_t size) : in_(packed), size_(size) { out_.reserve(size); }

  std::optional<std::string> Run() {
    for (bool last = false; !last;) {
      last = in_.Bits(1) == 1;
      const int type = in_.Bits(2);
      bool ok = false;
      if (type == 0) ok = Stored();
      else if (type == 1) ok = Fixed();
      else if (type == 2) ok = Dynamic();
      if (!ok || in_.Failed()) return std::nullopt;
    }
    if (out_.size() != size_) return std::nullopt;
    return std::move(out_);
  }

 private:
  bool Put(char c) {
    if (out_.size() >= size_) return false;
    out_.push_back(c);
    return true;
  }

  bool Stored() {
    in_.SkipToByte();
    const int length = in_.Bits(16);
    const int complement = in_.Bits(16);
    if (in_.Failed() || length != (~complement & 0xffff)) return false;
    for (int i = 0; i < length; ++i)
      if (!Put(static_cast<char>(in_.Bits(8))) || in_.Failed()) return false;
    return true;
  }

  bool Codes(const Huffman& literals, const Huffman& distances) {
    for (;;) {
      const int symbol = literals.Decode(in_);
      if (symbol < 0) return false;
      if (symbol < kEndOfBlock) {
        if (!Put(static_cast<char>(symbol))) return false;
        continue;
      }
      if (symbol == kEndOfBlock) return true;
      const int lengthCode = symbol - 257;
      if (lengthCode >= static_cast<int>(kLengthBase.size())) return false;
      const int length = kLengthBase[lengthCode] + in_.Bits(kLengthExtra[lengthCode]);
      const int distanceCode = distances.Decode(in_);
      if (distanceCode < 0 || distanceCode >= static_cast<int>(kDistanceBase.size())) return false;
      const std::size_t distance = kDistanceBase[distanceCode] + in_.Bits(kDistanceExtra[distanceCode]);
      if (in_.Failed() || distance > out_.size()) return false;
      for (int i = 0; i < length; ++i)
        if (!Put(out_[out_.size() - distance])) return false;
    }
  }

  bool Fixed() {
    std::array<short, 288> lengths{};
    for (int i = 0; i < 288; ++i) lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    std::array<short, 30> distanceLengths{};
    distanceLengths.fill(5);
    Huffman literals, distances;
    literals.Build(lengths.data(), 288);
    distances.Build(distanceLengths.data(), 30);
    return Codes(literals, distances);
  }

  bool Dynamic() {
    static constexpr std::array<int, 19> kOrder{16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    const int literalCount = in_.Bits(5) + 257;
    const int distanceCount = in_.Bits(5) + 1;
    const int codeLengthCount = in_.Bits(4) + 4;
    if (literalCount > 286 || distanceCount > 30) return false;
    std::array<short, 19> codeLengthLengths{};
    for (int i = 0; i < codeLengthCount; ++i) codeLengthLengths[kOrder[i]] = static_cast<short>(in_.Bits(3));
    Huffman codeLengths;
    if (in_.Failed() || !codeLengths.Build(codeLengthLengths.data(), 19)) return false;
    std::array<short, 316> lengths{};
    for (int at = 0; at < literalCount + distanceCount;) {
      const int symbol = codeLengths.Decode(in_);
      if (symbol < 0) return false;
      if (symbol < 16) {
        lengths[at++] = static_cast<short>(symbol);
        continue;
      }
      short repeated = 0;
      int times = 0;
      if (symbol == 16) {
        if (at == 0) return false;
        repeated = lengths[at - 1];
        times = 3 + in_.Bits(2);
      } else {
        times = symbol == 17 ? 3 + in_.Bits(3) : 11 + in_.Bits(7);
      }
      if (at + times > literalCount + distanceCount) return false;
      while (times--) lengths[at++] = repeated;
    }
    if (lengths[kEndOfBlock] == 0) return false;  // a block must be able to end
    Huffman literals, distances;
    if (!literals.Build(lengths.data(), literalCount) || !distances.Build(lengths.data() + literalCount, distanceCount))
      return false;
    return Codes(literals, distances);
  }

  BitReader in_;
  std::size_t size_;
  std::string out_;
};

}  // namespace

std::optional<std::string> Inflate(std::string_view packed, std::size_t size) { return Inflater(packed, size).Run(); }

}  // namespace kestrane
