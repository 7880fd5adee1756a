// quendrix-make-artwork: draws the main window's skin and the program icon
// into a folder, as background.bmp and quendrix.ico.
#include <cstdio>
#include <vector>

#include "tools/artwork.h"

namespace {

bool WriteFile(const char* path, const std::vector<uint8_t>& bytes) {
  FILE* file = fopen(path, "wb");
  if (file == nullptr) return false;
  bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: quendrix-make-artwork FOLDER\n");
    return 2;
  }
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } outputs[] = {{"background.bmp", MakeSkinBitmap()}, {"quendrix.ico", MakeIcon()}};
  for (const auto& output : outputs) {
    char path[4096];
    if (snprintf(path, sizeof path, "%s/%s", argv[1], output.name) >=
        static_cast<int>(sizeof path)) {
      fprintf(stderr, "quendrix-make-artwork: folder name too long\n");
      return 1;
    }
    if (!WriteFile(path, output.bytes)) {
      perror(path);
      return 1;
    }
  }
  return 0;
}
