// The whole inspection and the nine-line summary from any bytes: the summary
// fits its buffer with room to spare and has its nine lines, and the
// inspection read piece by piece (in pieces whose sizes the bytes pick) gives
// the same summary.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "demo/demo_summary.h"

namespace {

struct Source {
  const uint8_t* bytes;
  size_t size;
  size_t at;
};

// Pieces of 1 to 64 bytes, as the byte at the read position says.
size_t GivePiece(void* source, uint8_t* into, size_t size) {
  Source* from = static_cast<Source*>(source);
  size_t piece =
      std::min({size, from->size - from->at, size_t{1} + from->bytes[from->at % from->size] % 64});
  memcpy(into, from->bytes + from->at, piece);
  from->at += piece;
  return piece;
}

size_t GiveAt(void* source, uint64_t offset, uint8_t* into, size_t size) {
  Source* from = static_cast<Source*>(source);
  if (offset >= from->size) return 0;
  size_t piece = std::min<size_t>(size, from->size - offset);
  memcpy(into, from->bytes + offset, piece);
  return piece;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size == 0) return 0;  // an empty file is refused before it is inspected
  DemoInspection demo = InspectDemo(bytes, size);
  char summary[kSummarySize];
  // The widest resolution texts that the program keeps, with which the widest
  // fields give 690 characters.
  ComposeSummary(demo, "-999999", "9999999", summary, sizeof summary);
  const size_t length = strnlen(summary, sizeof summary);
  if (length > 690) abort();
  // Texts end at their first NUL, so the line feeds are only the summary's
  // own and those inside the header's texts.
  size_t feeds = static_cast<size_t>(std::count(summary, summary + length, '\n'));
  size_t ownFeeds = 8;
  for (const char* text : {demo.header.demoType, demo.header.mapName, demo.header.gameDirectory}) {
    ownFeeds += static_cast<size_t>(std::count(text, text + strlen(text), '\n'));
  }
  if (feeds != ownFeeds) abort();

  Source source = {bytes, size, 0};
  uint64_t read = 0;
  DemoInspection pieces =
      InspectDemoPieces(GivePiece, GiveAt, &source, size, kSmallestWindow, &read);
  char piecesSummary[kSummarySize];
  ComposeSummary(pieces, "-999999", "9999999", piecesSummary, sizeof piecesSummary);
  if (read != size || strcmp(summary, piecesSummary) != 0) abort();
  return 0;
}
