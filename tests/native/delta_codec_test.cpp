// Bits written as they are read, and every delta of the players' recordings
// written again from what was read of it: the same bits, and a delta of the
// changed fields alone that reads back as the same record.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "messages/delta_codec.h"
#include "messages/message_reader.h"
#include "tests/native/test_bytes.h"

namespace {

// Each case written after a lead of 0 to 7 bits, read back, then written
// again by what was read.
struct BitCase {
  enum Kind { kBits, kSigned, kBitString, kByteString } kind;
  int64_t value;
  unsigned count;
  int64_t readBack;  // kSigned: sign and magnitude as read
  const char* text;
};

std::vector<BitCase> BitCases() {
  std::vector<BitCase> cases;
  for (unsigned count = 0; count <= 32; ++count) {
    const int64_t all = (int64_t{1} << count) - 1;
    cases.push_back({BitCase::kBits, all, count, all, ""});
    cases.push_back({BitCase::kBits, 0x5A5A5A5Au, count, 0x5A5A5A5A & all, ""});
    cases.push_back({BitCase::kBits, 0xFFFFFFFFu, count, all, ""});  // higher bits not written
  }
  const BitCase more[] = {
      {BitCase::kSigned, 5, 4, 5, ""},
      {BitCase::kSigned, -5, 4, -5, ""},
      {BitCase::kSigned, 9, 4, 7, ""},  // clamped as the game clamps
      {BitCase::kSigned, -200, 8, -127, ""},
      {BitCase::kSigned, -1, 1, 0, ""},
      {BitCase::kSigned, INT32_MAX, 32, INT32_MAX, ""},
      {BitCase::kSigned, -INT32_MAX, 32, -INT32_MAX, ""},
      {BitCase::kBitString, 0, 0, 0, ""},
      {BitCase::kBitString, 0, 0, 0, "maps/de_dust2.bsp"},
      {BitCase::kByteString, 0, 0, 0, ""},
      {BitCase::kByteString, 0, 0, 0, "\\name\\Player"},
  };
  cases.insert(cases.end(), std::begin(more), std::end(more));
  return cases;
}

TEST(DeltaCodecTest, BitsReadBackAsWritten) {
  for (const BitCase& c : BitCases()) {
    for (unsigned lead = 0; lead < 8; ++lead) {
      SCOPED_TRACE(testing::Message() << c.kind << " " << c.value << "/" << c.count << " '"
                                      << c.text << "' after " << lead);
      BitWriter out;
      out.Bits(0x55, lead);
      const size_t length = strlen(c.text);
      switch (c.kind) {
        case BitCase::kBits: out.Bits(static_cast<uint32_t>(c.value), c.count); break;
        case BitCase::kSigned: out.SignedBits(static_cast<int32_t>(c.value), c.count); break;
        case BitCase::kBitString: out.BitString(c.text, length); break;
        case BitCase::kByteString: out.String(c.text, length); break;
      }
      out.Bit(true);  // a bit after, which must not run into the value
      ASSERT_EQ(out.bytes().size(), (out.BitCount() + 7) / 8);

      BitReader in(out.bytes().data(), out.bytes().size());
      EXPECT_EQ(in.Bits(lead), 0x55u & ((1u << lead) - 1));
      BitWriter again;
      again.Bits(0x55, lead);
      switch (c.kind) {
        case BitCase::kBits: {
          const uint32_t bits = in.Bits(c.count);
          EXPECT_EQ(bits, static_cast<uint32_t>(c.readBack));
          again.Bits(bits, c.count);
          break;
        }
        case BitCase::kSigned: {
          const bool negative = in.Bit();
          const int64_t magnitude = in.Bits(c.count - 1);
          EXPECT_EQ(negative ? -magnitude : magnitude, c.readBack);
          again.SignedBits(static_cast<int32_t>(c.readBack), c.count);
          break;
        }
        case BitCase::kBitString: {
          std::string text;
          for (uint32_t ch = in.Bits(8); ch != 0 && !in.failed(); ch = in.Bits(8))
            text += static_cast<char>(ch);
          EXPECT_EQ(text, c.text);
          again.BitString(text.c_str(), text.size());
          break;
        }
        case BitCase::kByteString: {
          size_t read;
          const char* text = in.String(&read);
          EXPECT_EQ(std::string(text, read), c.text);
          again.String(text, read);
          break;
        }
      }
      EXPECT_TRUE(in.Bit());
      again.Bit(true);
      EXPECT_FALSE(in.failed());
      EXPECT_EQ(again.bytes(), out.bytes());
      // At the very end no bits are still there to read, which reads.
      in.SkipBits(out.bytes().size() * 8 - in.BitPosition());
      EXPECT_EQ(in.Bits(0), 0u);
      EXPECT_FALSE(in.failed());
    }
  }
}

// The numbers of a table's fields as the game makes them, and back.
TEST(DeltaCodecTest, NumbersOfFields) {
  struct Case {
    uint32_t type;
    uint8_t bits;
    float multiplier;
    double number;
    uint32_t sent;
  } const cases[] = {
      {kDeltaInteger, 8, 1, 200, 200},
      {kDeltaInteger | kDeltaSigned, 8, 1, -3, 7},  // sign bit first
      {kDeltaFloat | kDeltaSigned, 24, 8, -10.5, (84 << 1) | 1},
      {kDeltaFloat, 10, 100, 0.75, 75},
      {kDeltaAngle, 16, 1, 90, 16384},
      {kDeltaAngle | kDeltaSigned, 8, 1, 270, 192},  // angles are never signed
      {kDeltaTimeWindow8, 13, 1, 9.5, 100 << 1},     // 8 bits whatever the table says
      {kDeltaTimeWindowBig, 13, 100, 10.75, (25 << 1) | 1},
  };
  const double time = 10.5;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " " << c.number);
    DeltaFieldDescription field;
    field.type = c.type;
    field.bits = c.bits;
    field.preMultiplier = c.multiplier;
    field.postMultiplier = 1;
    EXPECT_EQ(DeltaBitsOf(field, c.number, time), c.sent);
    EXPECT_DOUBLE_EQ(DeltaNumber(field, c.sent, time), c.number);
  }
}

// The deltas of one recording, each read and written again.
struct Differential {
  std::map<std::string, DeltaDescription> tables;
  std::map<std::string, int> checked;  // by the message they are in
  std::string firstMismatch;
  int mismatches = 0;
};

const char* EntityTableName(int number, bool custom, int maxClients) {
  if (custom) return "custom_entity_state_t";
  return number >= 1 && number <= maxClients ? "entity_state_player_t" : "entity_state_t";
}

void Mismatch(Differential* d, const char* what, const std::string& table) {
  if (d->mismatches++ == 0) d->firstMismatch = std::string(what) + " of " + table;
}

// Written again with the fields it sent, the delta is the same bits; written
// with the fields that differ from the base, it reads back as the same record.
DeltaRecord CheckDelta(Differential* d, BitReader& in, const uint8_t* bytes, const char* what,
                       const DeltaDescription& table) {
  const size_t from = in.BitPosition();
  const DeltaRecord base;
  DeltaRecord record = base;
  DeltaFields sent;
  if (DecodeDelta(in, table, &record, &sent) != DeltaRead::kRead) {
    Mismatch(d, what, table.name + " does not read");
    return record;
  }
  BitWriter out;
  EncodeDelta(out, table, record, sent);
  bool same = out.BitCount() == in.BitPosition() - from;
  for (size_t i = 0; same && i < out.BitCount(); ++i) {
    same = (out.bytes()[i / 8] >> (i % 8) & 1) == (bytes[(from + i) / 8] >> ((from + i) % 8) & 1);
  }
  if (!same) Mismatch(d, what, table.name);

  BitWriter changed;
  EncodeDelta(changed, table, record, ChangedFields(table, record, base));
  BitReader back(changed.bytes().data(), changed.bytes().size());
  DeltaRecord again = base;
  DeltaFields resent;
  DecodeDelta(back, table, &again, &resent);
  for (size_t i = 0; i < kMostSentFields; ++i) {
    if (again.bits[i] != record.bits[i] || again.Text(i) != record.Text(i)) {
      Mismatch(d, what, table.name + " of changed fields");
    }
  }
  ++d->checked[what];
  return record;
}

// The tables a message needs may be missing: it is not counted then.
const DeltaDescription* Table(Differential* d, const char* name) {
  auto found = d->tables.find(name);
  return found == d->tables.end() ? nullptr : &found->second;
}

void CheckDeltasIn(Differential* d, const SeenMessage& m) {
  const uint8_t* body = m.bytes + 1;
  BitReader in(body, m.size - 1);
  auto delta = [&](const char* what, const char* table) {
    if (const DeltaDescription* described = Table(d, table)) {
      CheckDelta(d, in, body, what, *described);
    } else {
      Mismatch(d, what, std::string(table) + ", never described");
    }
  };
  switch (m.bytes[0]) {
    case 14: {  // deltadescription: each field's description, and the table they make
      BitReader again(body, m.size - 1);
      DeltaDescription table;
      DeltaFields last;
      EXPECT_EQ(DecodeDeltaDescription(again, &table, &last), DeltaRead::kRead);
      in.SkipString();
      in.SkipBytes(2);
      const DeltaDescription& described = FieldDescriptionTable();
      for (const DeltaFieldDescription& field : table.fields) {
        const DeltaRecord r = CheckDelta(d, in, body, "svc_deltadescription", described);
        const DeltaFieldDescription same = {
            r.Text(1),
            r.bits[0],
            static_cast<uint16_t>(r.bits[2]),
            static_cast<uint8_t>(r.bits[3]),
            static_cast<uint8_t>(r.bits[4]),
            static_cast<float>(DeltaNumber(described.fields[5], r.bits[5], 0)),
            static_cast<float>(DeltaNumber(described.fields[6], r.bits[6], 0))};
        if (same.name != field.name || same.type != field.type || same.offset != field.offset ||
            same.size != field.size || same.bits != field.bits ||
            same.preMultiplier != field.preMultiplier ||
            same.postMultiplier != field.postMultiplier) {
          Mismatch(d, "svc_deltadescription", field.name + " read otherwise as a delta");
        }
      }
      d->tables[table.name] = table;
      break;
    }
    case 22: {  // spawnbaseline
      while (!in.failed() && in.PeekBits(16) != 0xFFFF) {
        const int number = static_cast<int>(in.Bits(11));
        const bool custom = (in.Bits(2) & 1) == 0;
        delta("svc_spawnbaseline", EntityTableName(number, custom, m.maxClients));
      }
      in.SkipBits(16);
      for (unsigned k = in.Bits(6); k > 0 && !in.failed(); --k) {
        delta("svc_spawnbaseline", "entity_state_t");
      }
      break;
    }
    case 40:  // packetentities, deltapacketentities
    case 41: {
      const bool full = m.bytes[0] == 40;
      in.SkipBytes(full ? 2 : 3);
      int number = 0;
      while (!in.failed() && in.PeekBits(16) != 0) {
        bool removed = false;
        if (full && in.Bit()) {
          ++number;
        } else {
          if (!full) removed = in.Bit();
          number = in.Bit() ? static_cast<int>(in.Bits(11)) : number + static_cast<int>(in.Bits(6));
        }
        if (removed) continue;
        const bool custom = in.Bit();
        const bool instanced = m.instancedBaselines > 0 && in.Bit();
        if (instanced) in.SkipBits(6);
        if (full && !instanced && in.Bit()) in.SkipBits(6);
        delta(full ? "svc_packetentities" : "svc_deltapacketentities",
              EntityTableName(number, custom, m.maxClients));
      }
      in.SkipBits(16);
      break;
    }
    case 15: {  // clientdata and the weapons' data
      if (m.hltv) return;
      if (in.Bit()) in.SkipBits(8);
      delta("svc_clientdata", "clientdata_t");
      while (!in.failed() && in.Bit()) {
        in.SkipBits(6);
        delta("svc_clientdata weapons", "weapon_data_t");
      }
      break;
    }
    case 3: {  // event: arguments where they are sent
      for (unsigned events = in.Bits(5); events > 0 && !in.failed(); --events) {
        in.SkipBits(10);
        if (in.Bit()) {
          in.SkipBits(11);
          if (in.Bit()) delta("svc_event", "event_t");
        }
        if (in.Bit()) in.SkipBits(16);
      }
      break;
    }
    case 21: {  // event_reliable
      in.SkipBits(10);
      delta("svc_event_reliable", "event_t");
      if (in.Bit()) in.SkipBits(16);
      break;
    }
    default: return;
  }
  // Each walk of a message ends where the reader's did.
  if (in.failed() || in.BytePosition() != m.size - 1) Mismatch(d, "walk", "its message");
}

TEST(DeltaCodecTest, RecordingsDeltasWrittenAgainAreTheSameBits) {
  const char* const kRecordings[] = {
      "basic.dem",      "weapon.dem",
      "hldm.dem",       "demotesttestste.dem-2405171129-cs_assault.dem",
      "normvozduh.dem", "dirka_v_dust2_duck.dem",
      "minangles.dem",  "one_jump_one_time.dem"};
  for (const char* name : kRecordings) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> bytes = ReadWholeFile(std::string(QUENDRIX_CORPUS_DIR) + "/" + name);
    if (bytes.empty()) GTEST_SKIP() << "no recording " << name << " in " QUENDRIX_CORPUS_DIR;
    ASSERT_GT(bytes.size(), 16u);
    Differential d;
    MessageReader reader;
    reader.watcher.seen = [](void* context, const SeenMessage& m) {
      CheckDeltasIn(static_cast<Differential*>(context), m);
    };
    reader.watcher.context = &d;
    const WindowReader also = MessageWindowReader(&reader);
    InspectDemo(bytes.data(), bytes.size(), &also);
    EXPECT_EQ(MessageReaderResult(&reader).read, MessagesRead::kAll);
    EXPECT_EQ(d.mismatches, 0) << "first: " << d.firstMismatch;
    std::string counts;
    for (const auto& [what, count] : d.checked) counts += " " + what + " " + std::to_string(count);
    printf("%s:%s\n", name, counts.c_str());
    for (const char* what : {"svc_deltadescription", "svc_spawnbaseline", "svc_packetentities",
                             "svc_deltapacketentities"}) {
      EXPECT_GT(d.checked[what], 0) << what;
    }
  }
}

}  // namespace
