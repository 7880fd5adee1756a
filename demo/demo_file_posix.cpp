// The inspector's file reading on POSIX systems, giving the outcomes that the
// Windows program gives for the same file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "demo/demo_file.h"

namespace {

// The Windows program asks for the low 32 bits of the size only; a file of
// 4 GiB or more is refused rather than read in part.
constexpr uint64_t kLargestReadable = UINT32_MAX;

// The outcome that the file's kind and size decide before anything is read.
DemoFileStatus CheckFile(int fd, size_t* size) {
  struct stat info;
  if (fstat(fd, &info) != 0) return DemoFileStatus::kNoSize;
  if (info.st_size <= 0) return DemoFileStatus::kNoSize;
  if (static_cast<uint64_t>(info.st_size) > kLargestReadable) {
    return DemoFileStatus::kCannotReadToMemory;
  }
  *size = static_cast<size_t>(info.st_size);
  return DemoFileStatus::kRead;
}

// No further than the size taken at the start, as the program reads; 0 at
// the end of the file and on an error.
struct FileSource {
  int fd;
  size_t left;
};

size_t ReadFromFile(void* source, uint8_t* into, size_t size) {
  FileSource* file = static_cast<FileSource*>(source);
  if (size > file->left) size = file->left;
  ssize_t got;
  do {
    got = read(file->fd, into, size);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return 0;
  file->left -= static_cast<size_t>(got);
  return static_cast<size_t>(got);
}

// Where the sequential reading is left unmoved.
size_t ReadFromFileAt(void* source, uint64_t offset, uint8_t* into, size_t size) {
  FileSource* file = static_cast<FileSource*>(source);
  size_t done = 0;
  while (done < size) {
    ssize_t got = pread(file->fd, into + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

DemoFileStatus ReadOpenFile(int fd, DemoBytes* demo) {
  size_t size = 0;
  DemoFileStatus status = CheckFile(fd, &size);
  if (status != DemoFileStatus::kRead) return status;
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size]);
  if (!bytes) return DemoFileStatus::kCannotReadToMemory;
  FileSource source = {fd, size};
  size_t done = 0;
  for (size_t got;
       done < size && (got = ReadFromFile(&source, bytes.get() + done, size - done)) > 0;) {
    done += got;
  }
  if (done != size) return DemoFileStatus::kCannotReadToMemory;
  demo->bytes = std::move(bytes);
  demo->size = size;
  return DemoFileStatus::kRead;
}

// Two threads take turns with the file's windows: each reads its next window
// while the other inspects one, then inspects its own when its turn comes, on
// the processor whose cache the read has just filled. The reads overlap each
// other and the inspections, and the inspections follow one another in the
// file's order.
struct Turns {
  FileSource* file;
  uint64_t windows;  // the last one holds the rest of the file
  PieceInspection inspection;
  std::mutex lock;
  std::condition_variable changed;
  std::atomic<uint64_t> next{0};  // the window to be inspected next
  // The window at the end of what was read has been inspected.
  std::atomic<bool> ended{false};
};

// Waking a thread that sleeps can take longer than inspecting a window, so a
// thread whose turn has not come gives way to others awhile (up to about a
// millisecond) before it sleeps; where both threads share one processor,
// giving way runs the other.
void WaitForTurn(Turns* turns, uint64_t window, std::unique_lock<std::mutex>* hold) {
  auto mine = [&] { return turns->next.load() == window || turns->ended.load(); };
  for (int yields = 0; yields < 1000 && !mine(); ++yields) std::this_thread::yield();
  hold->lock();
  turns->changed.wait(*hold, mine);
}

// Takes the windows from first on, every stride-th.
void TakeTurns(Turns* turns, uint8_t* slot, uint64_t first, uint64_t stride) {
  uint8_t* piece = slot + kPieceRoom;
  for (uint64_t window = first; window < turns->windows; window += stride) {
    const uint64_t offset = window * kInspectWindowSize;
    const size_t wanted =
        static_cast<size_t>(std::min<uint64_t>(kInspectWindowSize, turns->file->left - offset));
    const size_t got = ReadFromFileAt(turns->file, offset, piece, wanted);
    std::unique_lock<std::mutex> hold(turns->lock, std::defer_lock);
    WaitForTurn(turns, window, &hold);
    if (turns->ended) return;
    turns->ended = got < wanted || window + 1 == turns->windows;
    InspectPiece(&turns->inspection, piece, got, turns->ended);
    turns->next = window + 1;
    turns->changed.notify_one();
  }
}

DemoFileStatus InspectOpenFile(int fd, DemoInspection* demo, const WindowReader* also) {
  size_t size = 0;
  DemoFileStatus status = CheckFile(fd, &size);
  if (status != DemoFileStatus::kRead) return status;
  constexpr size_t kSlotSize = kPieceRoom + kInspectWindowSize;
  std::unique_ptr<uint8_t[]> slots(new (std::nothrow) uint8_t[2 * kSlotSize]);
  if (!slots) return DemoFileStatus::kCannotReadToMemory;
  FileSource source = {fd, size};
  Turns turns;
  turns.file = &source;
  turns.windows = (size + kInspectWindowSize - 1) / kInspectWindowSize;
  StartPieceInspection(&turns.inspection, size, ReadFromFileAt, &source, also);
  // A file of one window has nothing for a second thread to do; where no
  // thread can be started, this one takes every window.
  std::thread second;
  if (turns.windows > 1) {
    try {
      second = std::thread(TakeTurns, &turns, slots.get() + kSlotSize, 1, 2);
    } catch (const std::system_error&) {
    }
  }
  TakeTurns(&turns, slots.get(), 0, second.joinable() ? 2 : 1);
  if (second.joinable()) second.join();
  *demo = PieceInspectionResult(turns.inspection);
  return InspectedStatus(turns.inspection.bytesRead, size);
}

// Opens a regular file, as Windows opens only a file on a disk, runs what is
// to be done with it and closes it. Anything else is refused without waiting:
// a FIFO would wait in open() for a writer, and in read() for ever; opening
// some devices acts (a tape rewinds), so their kind is looked at first, and
// again on what was opened in case the name changed in between.
template <typename Use>
DemoFileStatus WithFile(const char* path, Use use) {
  struct stat info;
  if (stat(path, &info) == 0 && !S_ISREG(info.st_mode)) return DemoFileStatus::kCannotOpen;
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return DemoFileStatus::kCannotOpen;
  const int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return DemoFileStatus::kCannotOpen;
  }
  DemoFileStatus status = use(fd);
  close(fd);
  return status;
}

}  // namespace

DemoFileStatus ReadDemoFile(const char* path, DemoBytes* demo) {
  return WithFile(path, [&](int fd) { return ReadOpenFile(fd, demo); });
}

DemoFileStatus InspectDemoFile(const char* path, DemoInspection* demo, const WindowReader* also) {
  return WithFile(path, [&](int fd) { return InspectOpenFile(fd, demo, also); });
}
