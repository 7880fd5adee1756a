// The delta codec on any bytes: the first ones make a table (a field count,
// then a type and a width for each field), which written as a description
// reads back as itself; the rest are read as deltas, each from the record
// the ones before made, until one does not read. Each that reads is written
// again as the same bits, and its changed fields alone read back as the same
// record.
#include <strings.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "messages/delta_codec.h"

namespace {

void Fail(const char* what) {
  fprintf(stderr, "%s\n", what);
  abort();
}

bool SameBits(const BitWriter& out, const uint8_t* bytes, size_t from, size_t to) {
  if (out.BitCount() != to - from) return false;
  for (size_t i = 0; i < out.BitCount(); ++i) {
    if ((out.bytes()[i / 8] >> (i % 8) & 1) != (bytes[(from + i) / 8] >> ((from + i) % 8) & 1)) {
      return false;
    }
  }
  return true;
}

// Fields of each type, signed or not, some wider than a value can be; up to
// 63, so that a mask may name fields past the table.
size_t MakeTable(const uint8_t* bytes, size_t size, DeltaDescription* table) {
  if (size == 0) return 0;
  const size_t fields = std::min<size_t>(bytes[0] % 64, (size - 1) / 2);
  table->name = "fuzz_t";
  for (size_t i = 0; i < fields; ++i) {
    const uint8_t kind = bytes[1 + 2 * i];
    DeltaFieldDescription field;
    field.name = "field" + std::to_string(i);
    field.type = (1u << (kind % 8)) | ((kind & 0x80) != 0 ? kDeltaSigned : 0);
    field.bits = static_cast<uint8_t>(bytes[2 + 2 * i] % 40);
    field.preMultiplier = 1;
    field.postMultiplier = 1;
    table->fields.push_back(field);
  }
  return 1 + 2 * fields;
}

// The table as svc_deltadescription's body, which must read back as it.
void CheckDescription(const DeltaDescription& table) {
  const DeltaDescription& described = FieldDescriptionTable();
  BitWriter out;
  out.String(table.name.c_str(), table.name.size());
  out.Short(static_cast<int16_t>(table.fields.size()));
  for (const DeltaFieldDescription& field : table.fields) {
    DeltaRecord record;
    record.bits[0] = field.type;
    record.TextToSet(1) = field.name;
    record.bits[4] = field.bits;
    record.bits[5] = DeltaBitsOf(described.fields[5], field.preMultiplier, 0);
    record.bits[6] = DeltaBitsOf(described.fields[6], field.postMultiplier, 0);
    EncodeDelta(out, described, record, ChangedFields(described, record, DeltaRecord()));
  }
  BitReader in(out.bytes().data(), out.bytes().size());
  DeltaDescription read;
  DeltaFields last;
  if (DecodeDeltaDescription(in, &read, &last) != DeltaRead::kRead) Fail("description unread");
  if (read.name != table.name || read.fields.size() != table.fields.size()) {
    Fail("description read as another table");
  }
  for (size_t i = 0; i < read.fields.size(); ++i) {
    const DeltaFieldDescription &a = read.fields[i], &b = table.fields[i];
    if (a.name != b.name || a.type != b.type || a.bits != b.bits ||
        a.preMultiplier != b.preMultiplier || a.postMultiplier != b.postMultiplier) {
      Fail("description read as another field");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  DeltaDescription table;
  const size_t used = MakeTable(bytes, size, &table);
  CheckDescription(table);
  BitReader in(bytes + used, size - used);
  DeltaRecord record;
  for (;;) {
    const DeltaRecord base = record;
    const size_t from = in.BitPosition();
    DeltaFields sent;
    if (DecodeDelta(in, table, &record, &sent) != DeltaRead::kRead) break;
    if (in.BitPosition() > (size - used) * 8) Fail("read past the bytes");
    BitWriter out;
    EncodeDelta(out, table, record, sent);
    if (!SameBits(out, bytes + used, from, in.BitPosition())) Fail("written again differently");
    BitWriter changed;
    EncodeDelta(changed, table, record, ChangedFields(table, record, base));
    BitReader back(changed.bytes().data(), changed.bytes().size());
    DeltaRecord again = base;
    DeltaFields resent;
    if (DecodeDelta(back, table, &again, &resent) != DeltaRead::kRead) Fail("changes unread");
    for (size_t i = 0; i < kMostSentFields; ++i) {
      if (again.bits[i] != record.bits[i] ||
          strcasecmp(again.Text(i).c_str(), record.Text(i).c_str()) != 0) {
        Fail("changes read back as another record");
      }
    }
  }
  return 0;
}
