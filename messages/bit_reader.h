// Reading a message block: byte-aligned little-endian values and strings, and
// runs of bits taken from each byte's least significant bit upward. A read
// past the block's end yields zeros and marks the reader failed, so that a
// message is checked once, after it has been read. Portable: no platform
// headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class BitReader {
 public:
  BitReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  bool failed() const { return failed_; }

  // Byte-aligned reads, from the next whole byte after any bits read.
  uint8_t Byte() { return static_cast<uint8_t>(LittleEndian(1)); }
  int16_t Short() { return static_cast<int16_t>(LittleEndian(2)); }
  void SkipBytes(size_t count) {
    AlignToByte();
    if (count > size_ - bit_ / 8) return FailAtEnd();
    bit_ += count * 8;
  }
  // A NUL-terminated string; the text without its NUL, or empty when it has
  // none before the block's end.
  const char* String(size_t* length) {
    AlignToByte();
    const size_t at = bit_ / 8;
    const void* nul = memchr(bytes_ + at, 0, size_ - at);
    if (nul == nullptr) {
      FailAtEnd();
      *length = 0;
      return "";
    }
    *length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - (bytes_ + at));
    bit_ += (*length + 1) * 8;
    return reinterpret_cast<const char*>(bytes_ + at);
  }
  // count bytes in place, or none when the block ends first.
  const uint8_t* Take(size_t count) {
    AlignToByte();
    const size_t at = bit_ / 8;
    if (count > size_ - at) {
      FailAtEnd();
      return nullptr;
    }
    bit_ += count * 8;
    return bytes_ + at;
  }
  void SkipString() {
    size_t length;
    String(&length);
  }

  // Bit-packed reads: count is 0 to 32.
  uint32_t Bits(unsigned count) {
    const size_t byte = bit_ / 8;
    uint64_t word;
    if (byte + 8 <= size_) {
      memcpy(&word, bytes_ + byte, 8);
      word = FromLittleEndian(word);
    } else if (bit_ + count <= size_ * 8 && size_ >= 8 && byte < size_) {
      // Near the end: the last eight bytes, moved down to the wanted one.
      memcpy(&word, bytes_ + size_ - 8, 8);
      word = FromLittleEndian(word) >> (8 * (byte + 8 - size_));
    } else if (bit_ + count <= size_ * 8) {
      word = 0;
      for (size_t i = byte; i < size_; ++i) word |= uint64_t{bytes_[i]} << (8 * (i - byte));
    } else {
      FailAtEnd();
      return 0;
    }
    const uint32_t value =
        static_cast<uint32_t>((word >> (bit_ % 8)) & ((uint64_t{1} << count) - 1));
    bit_ += count;
    return value;
  }
  bool Bit() { return Bits(1) != 0; }
  // The next count bits without taking them; fails when fewer are left.
  uint32_t PeekBits(unsigned count) {
    const size_t at = bit_;
    const uint32_t value = Bits(count);
    bit_ = at;
    return value;
  }
  void SkipBits(size_t count) {
    if (count > size_ * 8 - bit_) return FailAtEnd();
    bit_ += count;
  }
  // Eight-bit characters up to and including a zero.
  void SkipBitString() {
    while (!failed_ && Bits(8) != 0) {
    }
  }
  // An integer-present bit, a fraction-present bit, a sign bit if either,
  // then 12 integer bits and 3 fraction bits where present.
  void SkipBitCoord() {
    const bool integer = Bit();
    const bool fraction = Bit();
    if (integer || fraction) SkipBits(1 + (integer ? 12 : 0) + (fraction ? 3 : 0));
  }
  void SkipBitVector() {
    const bool x = Bit(), y = Bit(), z = Bit();
    if (x) SkipBitCoord();
    if (y) SkipBitCoord();
    if (z) SkipBitCoord();
  }
  // Back to bytes: a partly read byte is skipped.
  void AlignToByte() { bit_ = (bit_ + 7) / 8 * 8; }
  // The byte that reading has reached, and a move to another one of the block.
  size_t BytePosition() const { return (bit_ + 7) / 8; }
  size_t BitPosition() const { return bit_; }
  void MoveToByte(size_t at) { bit_ = at * 8; }

 private:
  static uint64_t FromLittleEndian(uint64_t word) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap64(word);
#else
    return word;
#endif
  }
  uint32_t LittleEndian(size_t count) {
    AlignToByte();
    const size_t at = bit_ / 8;
    if (count > size_ - at) {
      FailAtEnd();
      return 0;
    }
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) value |= uint32_t{bytes_[at + i]} << (8 * i);
    bit_ += count * 8;
    return value;
  }
  void FailAtEnd() {
    failed_ = true;
    bit_ = size_ * 8;
  }

  const uint8_t* bytes_;
  size_t size_;
  size_t bit_ = 0;
  bool failed_ = false;
};
