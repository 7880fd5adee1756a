#include "messages/delta_codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
    const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

// A sign bit first, then the magnitude: the game's signed bits.
int64_t SignedOf(uint32_t bits, unsigned count) {
  if (count == 0) return 0;
  const int64_t magnitude = (uint64_t{bits} >> 1) & ((uint64_t{1} << (count - 1)) - 1);
  return (bits & 1) != 0 ? -magnitude : magnitude;
}

// The game converts with C casts; out of range they are undefined, so a
// number is held within what the bits can carry first.
int64_t Truncated(double number) {
  if (std::isnan(number)) return 0;
  if (number >= 9.2e18) return INT64_MAX;
  if (number <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(number);
}

uint32_t SignedBitsOf(int64_t value, unsigned count) {
  BitWriter out;
  out.SignedBits(
      static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value))),
      count);
  uint32_t bits = 0;
  for (size_t i = 0; i < out.bytes().size(); ++i) bits |= uint32_t{out.bytes()[i]} << (8 * i);
  return bits;
}

double Multiplier(float multiplier) {
  return multiplier != 0 ? multiplier : 1.0;
}

// Characters gathered a run at a time, which costs less than one append each;
// the reader after them.
BitReader ReadBitString(BitReader in, std::string* text) {
  text->clear();
  char run[64];
  size_t length = 0;
  for (uint32_t c = in.Bits(8); c != 0 && !in.failed(); c = in.Bits(8)) {
    run[length++] = static_cast<char>(c);
    if (length == sizeof run) {
      text->append(run, length);
      length = 0;
    }
  }
  text->append(run, length);
  return in;
}

// False where the mask marks a field past the table's count.
bool ReadMask(BitReader& in, size_t fields, DeltaFields* sent) {
  sent->maskBytes = in.Bits(3);
  sent->mask = 0;
  for (unsigned i = 0; i < sent->maskBytes; ++i) sent->mask |= uint64_t{in.Bits(8)} << (8 * i);
  return fields >= 64 || (sent->mask >> fields) == 0;
}

// A field description's multipliers are sent in 4000ths.
constexpr double kMultiplierScale = 4000;

}  // namespace

unsigned DeltaValueBits(const DeltaFieldDescription& field) {
  return (field.type & kDeltaTimeWindow8) != 0 ? 8 : field.bits;
}

bool IsDeltaString(const DeltaFieldDescription& field) {
  return (field.type & kDeltaString) != 0;
}

const std::string& DeltaRecord::Text(size_t field) const {
  static const std::string kNone;
  return texts.get() != nullptr && field < kMostSentFields ? (*texts.get())[field] : kNone;
}

std::string& DeltaRecord::TextToSet(size_t field) {
  return texts.Made()[field];
}

DeltaWidths WidthsOf(const DeltaDescription& table) {
  DeltaWidths widths;
  for (size_t i = 0; i < table.fields.size() && i < kMostSentFields; ++i) {
    const DeltaFieldDescription& field = table.fields[i];
    widths.bits[i] = IsDeltaString(field)         ? DeltaWidths::kStringValue
                     : DeltaValueBits(field) > 32 ? DeltaWidths::kWideValue
                                                  : static_cast<uint8_t>(DeltaValueBits(field));
  }
  return widths;
}

DeltaRead DecodeDelta(BitReader& in, const DeltaDescription& table, DeltaRecord* record,
                      DeltaFields* sent) {
  return DecodeDelta(in, table, WidthsOf(table), record, sent);
}

DeltaRead DecodeDelta(BitReader& in, const DeltaDescription& table, const DeltaWidths& widths,
                      DeltaRecord* record, DeltaFields* sent) {
  if (!ReadMask(in, table.fields.size(), sent)) return DeltaRead::kFieldPastTable;
  if (in.failed()) return DeltaRead::kPastEnd;
  // A reader of its own, whose place the compiler keeps in a register from
  // field to field; past the end every read gives zero at once, so failing
  // is checked once.
  BitReader values = in;
  for (uint64_t left = sent->mask; left != 0; left &= left - 1) {
    const size_t i = static_cast<size_t>(__builtin_ctzll(left));
    const uint8_t width = widths.bits[i];
    if (width <= 32) {
      record->bits[i] = values.Bits(width);
    } else if (width == DeltaWidths::kStringValue) {
      values = ReadBitString(values, &record->TextToSet(i));
    } else {
      return DeltaRead::kValueTooWide;
    }
  }
  in = values;
  return in.failed() ? DeltaRead::kPastEnd : DeltaRead::kRead;
}

void EncodeDelta(BitWriter& out, const DeltaDescription& table, const DeltaRecord& record,
                 DeltaFields sent) {
  out.Bits(sent.maskBytes, 3);
  for (unsigned i = 0; i < sent.maskBytes; ++i) out.Bits((sent.mask >> (8 * i)) & 0xFF, 8);
  for (uint64_t left = sent.mask; left != 0; left &= left - 1) {
    const size_t i = static_cast<size_t>(__builtin_ctzll(left));
    if (IsDeltaString(table.fields[i])) {
      const std::string& text = record.Text(i);
      out.BitString(text.c_str(), strlen(text.c_str()));
    } else {
      // Past 32 bits a value has no bits but zeros.
      const unsigned width = DeltaValueBits(table.fields[i]);
      out.Bits(record.bits[i], std::min(width, 32u));
      for (unsigned left = width > 32 ? width - 32 : 0; left > 0; left -= std::min(left, 32u)) {
        out.Bits(0, std::min(left, 32u));
      }
    }
  }
}

DeltaFields ChangedFields(const DeltaDescription& table, const DeltaRecord& record,
                          const DeltaRecord& base) {
  DeltaFields changed;
  const size_t fields = std::min(table.fields.size(), kMostSentFields);
  for (size_t i = 0; i < fields; ++i) {
    const bool differs = IsDeltaString(table.fields[i])
                             ? !SameIgnoringAsciiCase(record.Text(i), base.Text(i))
                             : record.bits[i] != base.bits[i];
    if (differs) {
      changed.mask |= uint64_t{1} << i;
      changed.maskBytes = static_cast<unsigned>(i / 8 + 1);
    }
  }
  return changed;
}

const DeltaDescription& FieldDescriptionTable() {
  static const DeltaDescription table = {
      "delta_description_t",
      {{"fieldType", kDeltaInteger, 0, 4, 32, 1, 1},
       {"fieldName", kDeltaString, 4, 32, 1, 1, 1},
       {"fieldOffset", kDeltaInteger, 36, 2, 16, 1, 1},
       {"fieldSize", kDeltaInteger, 38, 1, 8, 1, 1},
       {"significant_bits", kDeltaInteger, 40, 4, 8, 1, 1},
       {"premultiply", kDeltaFloat, 44, 4, 32, kMultiplierScale, 1},
       {"postmultiply", kDeltaFloat, 48, 4, 32, kMultiplierScale, 1}}};
  return table;
}

// Each field's description read by FieldDescriptionTable's fields one by
// one rather than by DecodeDelta: every walk of a demo reads its tables.
DeltaRead DecodeDeltaDescription(BitReader& in, DeltaDescription* table, DeltaFields* last,
                                 bool keepNames) {
  size_t nameLength;
  const char* name = in.String(&nameLength);
  const int fieldCount = static_cast<uint16_t>(in.Short());
  if (in.failed()) return DeltaRead::kPastEnd;
  table->name.assign(name, nameLength);
  table->fields.clear();
  table->fields.reserve(std::min(fieldCount, 64));
  const size_t describedFields = FieldDescriptionTable().fields.size();
  for (int i = 0; i < fieldCount; ++i) {
    if (!ReadMask(in, describedFields, last)) return DeltaRead::kFieldPastTable;
    table->fields.emplace_back();
    DeltaFieldDescription& field = table->fields.back();
    const uint64_t mask = last->mask;
    if (mask & 1) field.type = in.Bits(32);
    if ((mask & 2) && keepNames) in = ReadBitString(in, &field.name);
    if ((mask & 2) && !keepNames) in.SkipBitString();
    if (mask & 4) field.offset = static_cast<uint16_t>(in.Bits(16));
    if (mask & 8) field.size = static_cast<uint8_t>(in.Bits(8));
    if (mask & 16) field.bits = static_cast<uint8_t>(in.Bits(8));
    if (mask & 32) field.preMultiplier = static_cast<float>(in.Bits(32) / kMultiplierScale);
    if (mask & 64) field.postMultiplier = static_cast<float>(in.Bits(32) / kMultiplierScale);
    if (in.failed()) return DeltaRead::kPastEnd;
  }
  return DeltaRead::kRead;
}

double DeltaNumber(const DeltaFieldDescription& field, uint32_t bits, double time) {
  const unsigned count = DeltaValueBits(field);
  const bool isSigned = (field.type & kDeltaSigned) != 0;
  if (IsDeltaString(field)) return 0;
  if (field.type & kDeltaTimeWindow8) return (time * 100.0 - SignedOf(bits, 8)) / 100.0;
  if (field.type & kDeltaTimeWindowBig) {
    const double scale = Multiplier(field.preMultiplier);
    return (time * scale - SignedOf(bits, count)) / scale;
  }
  if (field.type & kDeltaAngle) return bits * (360.0 / std::ldexp(1.0, static_cast<int>(count)));
  const double value = isSigned ? static_cast<double>(SignedOf(bits, count)) : bits;
  const double number = value / Multiplier(field.preMultiplier);
  return (field.type & kDeltaFloat) != 0 ? number * Multiplier(field.postMultiplier) : number;
}

uint32_t DeltaBitsOf(const DeltaFieldDescription& field, double number, double time) {
  const unsigned count = DeltaValueBits(field);
  if (IsDeltaString(field) || count == 0 || count > 32) return 0;
  const uint32_t mask = static_cast<uint32_t>((uint64_t{1} << count) - 1);
  if (field.type & kDeltaTimeWindow8) {
    return SignedBitsOf(Truncated(time * 100.0) - Truncated(number * 100.0), 8);
  }
  if (field.type & kDeltaTimeWindowBig) {
    const double scale = Multiplier(field.preMultiplier);
    return SignedBitsOf(Truncated(time * scale) - Truncated(number * scale), count);
  }
  if (field.type & kDeltaAngle) {
    return static_cast<uint32_t>(
               Truncated(number * std::ldexp(1.0, static_cast<int>(count)) / 360.0)) &
           mask;
  }
  const int64_t value = Truncated(number * Multiplier(field.preMultiplier));
  if (field.type & kDeltaSigned) return SignedBitsOf(value, count);
  return static_cast<uint32_t>(value) & mask;
}
