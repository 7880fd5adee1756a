// Writing a file whole or not at all, and with it a repaired copy of a demo
// file: never over the demo itself, never over what is not a regular file.
// Declared without platform headers; each platform has its own definition.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "demo/demo_repair.h"

enum class RepairFileStatus {
  kWritten,
  kOutExists,    // and is not to be replaced
  kOutNotAFile,  // a folder, a device, a pipe, or a link to none of files
  kOutIsDemo,    // the same file under either name
  kCannotRead,   // the demo, or fewer bytes of it than kept
  kCannotWrite,  // a new file in OUT's folder, or putting it in place
  kDiskFull,     // or the user's share of it
};

// A new file that appears at its path whole or not at all. It is written in
// that path's folder without a name where the system offers such a file
// (Linux), else under a temporary name of its own, created where nothing was,
// never through a link. A temporary name is removed when the file is not put
// in place: on a failure, when the object goes, and when the program is ended
// by SIGINT, SIGTERM or SIGHUP (where the program leaves them to the system),
// or by Ctrl+C, Ctrl+Break, closing its console or logging off. One thread at
// a time.
class WholeFile {
 public:
  WholeFile();
  ~WholeFile();
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;

  // Makes the file in path's folder, so that a folder that is missing, closed
  // to new files or full is known before any work: kWritten, kCannotWrite or
  // kDiskFull. With unnamed false it takes a temporary name even where the
  // system offers a file without one, as other systems do.
  RepairFileStatus Create(const char* path, bool unnamed = true);

  // Appends the bytes; false when they, or any before them, were not written.
  bool Write(const uint8_t* bytes, size_t size);

  // Gives the whole file its path, or tells why a write failed. With replace
  // it goes over a regular file there, or over a link to one (the link is
  // replaced, not what it leads to); it never goes over anything else, and
  // without replace over nothing.
  RepairFileStatus PutInPlace(bool replace);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

// Whether the copy may go to outPath, before any work is done: kWritten when
// it may.
RepairFileStatus CheckRepairTarget(const char* demoPath, const char* outPath, bool replace);

// CheckRepairTarget, then copy.Create: kWritten once the file for outPath is
// made, before any work, else why it may not or cannot be.
RepairFileStatus PrepareCopy(const char* demoPath, const char* outPath, bool replace,
                             WholeFile* copy);

// What writes a copy of a demo read through readAt piece by piece through
// write (WriteRepair or WriteTrim with their plan, say); false when the demo
// gives fewer bytes than it needs, or a write fails.
using MakeCopy = bool (*)(void* context, ReadDemoAt readAt, void* source, WriteRepairPiece write,
                          void* sink);

// Writes the copy that make makes of the demo at demoPath into copy, which
// Create has made, and puts it in place: kCannotRead when the demo cannot
// be opened as a regular file or make finds it short. On failure nothing is
// left behind.
RepairFileStatus WriteCopyFile(const char* demoPath, MakeCopy make, void* context, WholeFile* copy,
                               bool replace);

// Calls read with the demo at demoPath open for readAt: only a regular file,
// as it was inspected, so nothing waits. False when it cannot be opened so,
// else what read gives.
bool ReadDemoFileAt(const char* demoPath,
                    bool (*read)(void* context, ReadDemoAt readAt, void* source), void* context);

// Writes what the plan makes of the demo at demoPath into copy, which Create
// has made, and puts it in place. On failure nothing is left behind.
RepairFileStatus WriteRepairFile(const char* demoPath, const RepairPlan& plan, WholeFile* copy,
                                 bool replace);

// The same into a file made for outPath.
inline RepairFileStatus WriteRepairFile(const char* demoPath, const RepairPlan& plan,
                                        const char* outPath, bool replace) {
  WholeFile copy;
  const RepairFileStatus made = copy.Create(outPath);
  return made == RepairFileStatus::kWritten ? WriteRepairFile(demoPath, plan, &copy, replace)
                                            : made;
}
