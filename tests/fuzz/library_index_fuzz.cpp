// The library index's reading on any bytes, as they come and sealed with the
// checksum that fits them, so that the fuzzer reaches the fields past the
// checksum: neither may read outside the buffer or take memory beyond what
// the bytes can hold, and an index that loads saves again to the same bytes.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "library/library_entry.h"
#include "tests/reference/bitwise_crc32.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string input(reinterpret_cast<const char*>(bytes), size);
  for (const std::string& index : {input, SealedIndex(input)}) {
    // A buffer of exactly the index's size, so that a byte read past it is caught.
    const std::vector<uint8_t> exact(index.begin(), index.end());
    std::vector<LibraryEntry> entries;
    if (LoadLibraryIndex(exact.data(), exact.size(), &entries) &&
        SaveLibraryIndex(entries) != index) {
      fprintf(stderr, "an index that loads saves to other bytes\n");
      abort();
    }
  }
  return 0;
}
