#include "cli/previewer.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/bitmap_writer.h"
#include "demo/demo_file.h"
#include "demo/repair_file.h"
#include "map/map_floors.h"
#include "map/map_picture.h"

namespace {

const char kUsage[] =
    "usage: quendrix-preview [--size WxH] [--out DIR] MAP.bsp...\n"
    "\n"
    "Draws each compiled map (.bsp) seen from above, as Quendrix shows it beside\n"
    "a demo, and writes the picture to DIR/<map>.bmp: 24 bits a pixel, 253 x 193\n"
    "unless --size says otherwise. Copied into the maps folder beside\n"
    "quendrix.exe, the pictures are shown instead of drawing the maps.\n"
    "\n"
    "  --size WxH  the picture's width and height, each from 1 to 4096\n"
    "  --out DIR   the folder to write to (default: the current folder)\n"
    "  --help      this text\n"
    "\n"
    "Prints the path of each picture written. A map that cannot be read or drawn\n"
    "gets a message on standard error and no picture; the others are still drawn.\n"
    "A picture is written whole or not at all, over a file of that name but\n"
    "never over a folder, a device or a pipe.\n"
    "Exit status: 0 when every map was drawn, 1 when any was not, 2 for a usage\n"
    "error.\n";

#ifdef _WIN32
const char kSeparators[] = "\\/:";
const char kSeparator = '\\';
#else
const char kSeparators[] = "/";
const char kSeparator = '/';
#endif

bool ParseSide(const char* text, size_t length, int* side) {
  if (length == 0 || length > 4) return false;
  int value = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  *side = value;
  return value >= 1 && value <= kLargestPictureSide;
}

bool ParseSize(const char* text, int* width, int* height) {
  const char* x = strchr(text, 'x');
  return x != nullptr && ParseSide(text, size_t(x - text), width) &&
         ParseSide(x + 1, strlen(x + 1), height);
}

// The file's name without its folder and without a ".bsp" ending.
std::string MapName(const std::string& path) {
  const size_t slash = path.find_last_of(kSeparators);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() > 4) {
    std::string ending = name.substr(name.size() - 4);
    for (char& c : ending) c = char(tolower(static_cast<unsigned char>(c)));
    if (ending == ".bsp") name.resize(name.size() - 4);
  }
  return name;
}

const char* ReadFailure(DemoFileStatus status) {
  switch (status) {
    case DemoFileStatus::kCannotOpen: return "cannot open the file";
    case DemoFileStatus::kNoSize: return "the file is empty";
    default: return "cannot read the file";
  }
}

// The picture appears whole or not at all, over a picture that was there
// but never over anything else, nor through a link beside it.
std::string WritePicture(const std::string& path, const std::vector<uint8_t>& bytes) {
  WholeFile picture;
  RepairFileStatus status = picture.Create(path.c_str());
  if (status == RepairFileStatus::kWritten) {
    picture.Write(bytes.data(), bytes.size());
    status = picture.PutInPlace(true);
  }
  switch (status) {
    case RepairFileStatus::kWritten: return "";
    case RepairFileStatus::kDiskFull: return "cannot write the picture: the disk is full";
    case RepairFileStatus::kOutNotAFile:
      return "cannot write the picture: " + path + " is not a regular file";
    default: return "cannot write the picture";
  }
}

// The message for a map that was not drawn, or nothing.
std::string DrawMap(const char* mapPath, const std::string& picturePath, int width, int height) {
  DemoBytes file;
  DemoFileStatus read = ReadDemoFile(mapPath, &file);
  if (read != DemoFileStatus::kRead) return ReadFailure(read);
  MapFloors floors;
  MapStatus status = ReadMapFloors(file.bytes.get(), file.size, &floors);
  if (status != MapStatus::kRead) return MapStatusMessage(status);
  std::vector<Rgb> pixels = DrawMapFloors(floors, width, height);
  return WritePicture(picturePath, EncodeBitmap24(width, height, pixels));
}

int UsageError(FILE* err, const char* message, const char* arg) {
  if (message != nullptr) fprintf(err, "quendrix-preview: %s%s\n", message, arg);
  fputs(kUsage, err);
  return 2;
}

}  // namespace

int RunPreviewer(int argc, char** argv, FILE* out, FILE* err) {
  int width = kPreviewWidth, height = kPreviewHeight;
  std::string folder = ".";
  int firstMap = argc;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (strcmp(arg, "--help") == 0) {
      fputs(kUsage, out);
      return 0;
    } else if (strcmp(arg, "--size") == 0) {
      if (i + 1 >= argc || !ParseSize(argv[++i], &width, &height)) {
        return UsageError(err, "--size takes WxH, each from 1 to 4096", "");
      }
    } else if (strcmp(arg, "--out") == 0) {
      if (i + 1 >= argc || argv[i + 1][0] == '\0')
        return UsageError(err, "--out takes a folder", "");
      folder = argv[++i];
    } else if (strcmp(arg, "--") == 0) {
      firstMap = i + 1;
      break;
    } else if (arg[0] == '-' && arg[1] != '\0') {
      return UsageError(err, "unknown option ", arg);
    } else {
      firstMap = i;
      break;
    }
  }
  if (firstMap >= argc) return UsageError(err, nullptr, "");
  if (strchr(kSeparators, folder.back()) == nullptr) folder += kSeparator;

  int status = 0;
  for (int i = firstMap; i < argc; ++i) {
    const std::string picture = folder + MapName(argv[i]) + ".bmp";
    const std::string failure = DrawMap(argv[i], picture, width, height);
    if (!failure.empty()) {
      fprintf(err, "%s: %s\n", argv[i], failure.c_str());
      status = 1;
      continue;
    }
    fprintf(out, "%s\n", picture.c_str());
  }
  return status;
}
