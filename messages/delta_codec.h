// Deltas as a demo's own tables describe them (svc_deltadescription): each
// delta read into the values of a record and written back bit for bit. A
// value is kept as the bits it was sent in, so that a record written again
// is what was read; the numbers the game makes of them are separate.
// Portable: no platform headers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/out_of_line.h"
#include "messages/bit_reader.h"
#include "messages/bit_writer.h"

// Field types of a delta description; kDeltaSigned is or'ed with a type.
enum DeltaFieldType : uint32_t {
  kDeltaByte = 1,
  kDeltaShort = 2,
  kDeltaFloat = 4,
  kDeltaInteger = 8,
  kDeltaAngle = 16,
  kDeltaTimeWindow8 = 32,
  kDeltaTimeWindowBig = 64,
  kDeltaString = 128,
  kDeltaSigned = 0x80000000u,
};

struct DeltaFieldDescription {
  std::string name;
  uint32_t type = 0;
  uint16_t offset = 0;  // in the game's structure
  uint8_t size = 0;
  uint8_t bits = 0;  // significant bits
  float preMultiplier = 0;
  float postMultiplier = 0;
};

struct DeltaDescription {
  std::string name;
  std::vector<DeltaFieldDescription> fields;
};

// Seven bytes of mask name at most 56 fields: past them a table's fields are
// never sent, and stay zero.
constexpr size_t kMostSentFields = 56;

// The values of a record, one for each field of a table in its order: the
// bits each is sent in, and a string field's text. The bits are held in
// place and the texts made only once a string is read, so that a record
// copies as one block. All zero and empty is the base of a delta from
// nothing.
struct DeltaRecord {
  const std::string& Text(size_t field) const;  // empty where none was read
  std::string& TextToSet(size_t field);
  std::array<uint32_t, kMostSentFields> bits{};
  OutOfLine<std::array<std::string, kMostSentFields>> texts;
};

// Which fields a delta sends: bit i for field i, in mask bytes that the
// delta states (the game states as few as hold its last field).
struct DeltaFields {
  uint64_t mask = 0;
  unsigned maskBytes = 0;
};

// How many bits a field's value takes (strings excepted): 8 for the 8-bit
// time window whatever the table says.
unsigned DeltaValueBits(const DeltaFieldDescription& field);
bool IsDeltaString(const DeltaFieldDescription& field);

enum class DeltaRead {
  kRead,
  kPastEnd,         // the bits end first: the reader has failed
  kFieldPastTable,  // the mask marks a field that the table does not have
  kValueTooWide,    // a marked field takes more than 32 bits
};

// How wide each sendable field's value is, found once for a table that
// many deltas are read with: bits, or kStringValue or kWideValue.
struct DeltaWidths {
  static constexpr uint8_t kStringValue = 254;
  static constexpr uint8_t kWideValue = 255;  // more than 32 bits
  std::array<uint8_t, kMostSentFields> bits{};
};
DeltaWidths WidthsOf(const DeltaDescription& table);

// One delta: record, which holds the base (a record of the table's size),
// takes the values sent; sent tells which fields were.
DeltaRead DecodeDelta(BitReader& in, const DeltaDescription& table, DeltaRecord* record,
                      DeltaFields* sent);
// The same with the table's widths found before.
DeltaRead DecodeDelta(BitReader& in, const DeltaDescription& table, const DeltaWidths& widths,
                      DeltaRecord* record, DeltaFields* sent);
// The values of record's fields that sent names, with its mask bytes.
void EncodeDelta(BitWriter& out, const DeltaDescription& table, const DeltaRecord& record,
                 DeltaFields sent);
// The fields of record that differ from base, as the game chooses them:
// strings compared without ASCII case, other values by their bits.
DeltaFields ChangedFields(const DeltaDescription& table, const DeltaRecord& record,
                          const DeltaRecord& base);

// The engine's own description of a field's description, never sent.
const DeltaDescription& FieldDescriptionTable();
// The body of svc_deltadescription after its id: the table's name, its field
// count, and a delta from nothing of FieldDescriptionTable for each field.
// Where it stops early, last is what the field that stopped it sent. Without
// keepNames the fields' names are stepped over, at less cost.
DeltaRead DecodeDeltaDescription(BitReader& in, DeltaDescription* table, DeltaFields* last,
                                 bool keepNames = true);

// The number that the game makes of a field's bits and the bits it sends
// for a number. A time window counts back from time, the message's clock.
double DeltaNumber(const DeltaFieldDescription& field, uint32_t bits, double time);
uint32_t DeltaBitsOf(const DeltaFieldDescription& field, double number, double time);
