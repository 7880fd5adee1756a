// Writing a message block as BitReader reads it: runs of bits put into each
// byte from its least significant bit upward, byte-aligned little-endian
// values and strings after them. The bytes grow as they are written, so no
// write reaches past them. Portable: no platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BitWriter {
 public:
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  size_t BitCount() const { return bit_; }

  // The low count bits of value; count is 0 to 32.
  void Bits(uint32_t value, unsigned count) {
    if (count == 0) return;
    const uint64_t bits = value & ((uint64_t{1} << count) - 1);
    bytes_.resize((bit_ + count + 7) / 8, 0);
    const size_t shift = bit_ % 8;
    const uint64_t placed = bits << shift;
    for (size_t i = 0; i * 8 < shift + count; ++i) {
      bytes_[bit_ / 8 + i] |= static_cast<uint8_t>(placed >> (8 * i));
    }
    bit_ += count;
  }
  void Bit(bool value) { Bits(value ? 1 : 0, 1); }
  // A sign bit, then count - 1 bits of magnitude; below 32 bits a value that
  // does not fit is written as the nearest one that does, as the game clamps
  // it. count is 1 to 32.
  void SignedBits(int32_t value, unsigned count) {
    const int64_t largest = (int64_t{1} << (count - 1)) - 1;
    int64_t kept = value;
    if (count < 32 && kept > largest) kept = largest;
    if (count < 32 && kept < -largest) kept = -largest;
    Bit(kept < 0);
    Bits(static_cast<uint32_t>(kept < 0 ? -kept : kept), count - 1);
  }
  // Eight-bit characters and a zero.
  void BitString(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) Bits(static_cast<uint8_t>(text[i]), 8);
    Bits(0, 8);
  }

  // Byte-aligned writes, from the next whole byte after any bits.
  void Byte(uint8_t value) { LittleEndian(value, 1); }
  void Short(int16_t value) { LittleEndian(static_cast<uint16_t>(value), 2); }
  void Long(int32_t value) { LittleEndian(static_cast<uint32_t>(value), 4); }
  void Take(const uint8_t* bytes, size_t count) {
    AlignToByte();
    bytes_.insert(bytes_.end(), bytes, bytes + count);
    bit_ += count * 8;
  }
  // The text and its NUL.
  void String(const char* text, size_t length) {
    Take(reinterpret_cast<const uint8_t*>(text), length);
    Byte(0);
  }
  // Back to bytes: the rest of a partly written byte stays zero.
  void AlignToByte() { bit_ = bytes_.size() * 8; }

 private:
  void LittleEndian(uint32_t value, size_t count) {
    AlignToByte();
    for (size_t i = 0; i < count; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    bit_ += count * 8;
  }

  std::vector<uint8_t> bytes_;
  size_t bit_ = 0;
};
