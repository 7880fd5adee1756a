// Writing a file whole, and a repaired copy, on POSIX systems.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "demo/repair_file.h"

namespace {

// The folder part of a path, with its slash, or "./".
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash != std::string::npos ? path.substr(0, slash + 1) : "./";
}

RepairFileStatus FailureOf(int error) {
  return error == ENOSPC || error == EDQUOT ? RepairFileStatus::kDiskFull
                                            : RepairFileStatus::kCannotWrite;
}

// What a name holds, seen through a link as opening it would see it.
enum class Held { kNothing, kFile, kOther };

Held WhatIsAt(const char* path, struct stat* info) {
  if (lstat(path, info) != 0) return Held::kNothing;
  if (stat(path, info) != 0) return Held::kOther;  // a link that leads nowhere
  return S_ISREG(info->st_mode) ? Held::kFile : Held::kOther;
}

// Where something is already at path.
RepairFileStatus Refusal(const char* path) {
  struct stat info;
  return WhatIsAt(path, &info) == Held::kOther ? RepairFileStatus::kOutNotAFile
                                               : RepairFileStatus::kOutExists;
}

// The temporary names that a signal which ends the program removes first.
// They change only while the signals are blocked, so the handler never sees
// one half written.
struct PendingName {
  volatile sig_atomic_t armed;
  char path[PATH_MAX];
};
PendingName pendingNames[4];
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

void RemovePendingNames(int signal) {
  for (PendingName& name : pendingNames) {
    if (name.armed) unlink(name.path);
  }
  // SA_RESETHAND has put the default action back: the program ends as the
  // signal asked, once this returns.
  raise(signal);
}

// Blocks the ending signals while it lives.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t ending;
    sigemptyset(&ending);
    for (int signal : kEndingSignals) sigaddset(&ending, signal);
    pthread_sigmask(SIG_BLOCK, &ending, &saved_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

 private:
  sigset_t saved_;
};

// Only a signal that would end the program anyway is caught: what the program
// does with one itself, or its ignoring one (nohup), is left alone.
void CatchEndingSignals() {
  for (int signal : kEndingSignals) {
    struct sigaction current;
    if (sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0 ||
        current.sa_handler != SIG_DFL) {
      continue;
    }
    struct sigaction removing = {};
    removing.sa_handler = RemovePendingNames;
    sigemptyset(&removing.sa_mask);
    for (int other : kEndingSignals) sigaddset(&removing.sa_mask, other);
    removing.sa_flags = SA_RESETHAND;
    sigaction(signal, &removing, nullptr);
  }
}

// With the signals held. -1 when the name cannot be kept.
int Arm(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int slot = 0; slot < static_cast<int>(sizeof pendingNames / sizeof *pendingNames); ++slot) {
    PendingName& name = pendingNames[slot];
    if (name.armed) continue;
    memcpy(name.path, path.c_str(), path.size() + 1);
    name.armed = 1;
    CatchEndingSignals();
    return slot;
  }
  return -1;
}

void Disarm(int slot) {
  if (slot >= 0) pendingNames[slot].armed = 0;
}

// Gives a new name in folder to what make() creates there: the process, a
// count and the clock make a name unlikely to be taken, and the next is tried
// while one is (EEXIST). errno tells why it failed.
template <typename Make>
bool MakeUnderNewName(const std::string& folder, std::string* name, Make make) {
  static unsigned count = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    char leaf[64];
    snprintf(leaf, sizeof leaf, ".quendrix-%ld-%u-%lx.tmp", static_cast<long>(getpid()), ++count,
             static_cast<unsigned long>(now.tv_nsec));
    *name = folder + leaf;
    if (make(name->c_str())) return true;
    if (errno != EEXIST) break;
  }
  name->clear();
  return false;
}

// The name under which the system opens a file that has no other.
std::string OpenFileName(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

struct WholeFile::Parts {
  std::string path;
  int fd = -1;
  bool unnamed = false;  // no name until it is whole
  std::string temp;      // its temporary name while it has one
  int slot = -1;         // where temp waits for a signal
  int error = 0;         // of the first write that failed

  void DropTemporaryName() {
    if (temp.empty()) return;
    SignalsHeld held;
    unlink(temp.c_str());
    Disarm(slot);
    temp.clear();
  }
  // The rename done and the name disarmed with no signal in between.
  RepairFileStatus RenameTemporary() {
    SignalsHeld held;
    if (rename(temp.c_str(), path.c_str()) != 0) return FailureOf(errno);
    Disarm(slot);
    temp.clear();
    return RepairFileStatus::kWritten;
  }
};

WholeFile::WholeFile() : parts_(new Parts) {}

WholeFile::~WholeFile() {
  if (parts_->fd >= 0) close(parts_->fd);
  parts_->DropTemporaryName();
}

RepairFileStatus WholeFile::Create(const char* path, bool unnamed) {
  Parts& p = *parts_;
  p.path = path;
  const std::string folder = FolderOf(p.path);
#ifdef O_TMPFILE
  // Named later through /proc; without /proc it gets a temporary name now.
  if (unnamed) {
    p.fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    struct stat info;
    if (p.fd >= 0 && stat(OpenFileName(p.fd).c_str(), &info) == 0) {
      p.unnamed = true;
      return RepairFileStatus::kWritten;
    }
    if (p.fd >= 0) close(p.fd);
    p.fd = -1;
  }
#else
  (void)unnamed;
#endif
  SignalsHeld held;
  // O_EXCL: created where nothing was, never through a link.
  if (!MakeUnderNewName(folder, &p.temp, [&](const char* name) {
        p.fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return p.fd >= 0;
      })) {
    return FailureOf(errno);
  }
  p.slot = Arm(p.temp);
  return RepairFileStatus::kWritten;
}

bool WholeFile::Write(const uint8_t* bytes, size_t size) {
  Parts& p = *parts_;
  if (p.fd < 0 && p.error == 0) p.error = EBADF;
  while (size > 0 && p.error == 0) {
    const ssize_t put = write(p.fd, bytes, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      p.error = put < 0 ? errno : EIO;
      break;
    }
    bytes += put;
    size -= static_cast<size_t>(put);
  }
  return p.error == 0;
}

RepairFileStatus WholeFile::PutInPlace(bool replace) {
  Parts& p = *parts_;
  if (p.fd < 0) return RepairFileStatus::kCannotWrite;
  if (p.error != 0) return FailureOf(p.error);
  if (fsync(p.fd) != 0) return FailureOf(errno);
  struct stat there;
  if (replace && WhatIsAt(p.path.c_str(), &there) == Held::kOther) {
    return RepairFileStatus::kOutNotAFile;
  }
  if (p.unnamed) {
    const std::string self = OpenFileName(p.fd);
    if (!replace) {
      // A link fails where anything is there: OUT is never replaced.
      const int linked =
          linkat(AT_FDCWD, self.c_str(), AT_FDCWD, p.path.c_str(), AT_SYMLINK_FOLLOW);
      const int error = errno;
      close(p.fd);
      p.fd = -1;
      if (linked == 0) return RepairFileStatus::kWritten;
      return error == EEXIST ? Refusal(p.path.c_str()) : FailureOf(error);
    }
    // A link cannot replace: a temporary name first, then a rename over OUT.
    SignalsHeld held;
    const bool named = MakeUnderNewName(FolderOf(p.path), &p.temp, [&](const char* name) {
      return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0;
    });
    const int error = errno;
    close(p.fd);
    p.fd = -1;
    if (!named) return FailureOf(error);
    p.slot = Arm(p.temp);
  } else {
    const int closed = close(p.fd);
    p.fd = -1;
    if (closed != 0) return FailureOf(errno);
  }
  if (replace) return p.RenameTemporary();
  // A link fails where anything is there; a file system without links (FAT)
  // gets a rename once nothing is there.
  if (link(p.temp.c_str(), p.path.c_str()) == 0) {
    p.DropTemporaryName();
    return RepairFileStatus::kWritten;
  }
  if (errno == EEXIST || WhatIsAt(p.path.c_str(), &there) != Held::kNothing) {
    return Refusal(p.path.c_str());
  }
  return p.RenameTemporary();
}

RepairFileStatus CheckRepairTarget(const char* demoPath, const char* outPath, bool replace) {
  struct stat out, demo;
  const Held held = WhatIsAt(outPath, &out);
  if (held == Held::kNothing) return RepairFileStatus::kWritten;
  if (held == Held::kOther) return RepairFileStatus::kOutNotAFile;
  if (stat(demoPath, &demo) == 0 && demo.st_dev == out.st_dev && demo.st_ino == out.st_ino) {
    return RepairFileStatus::kOutIsDemo;
  }
  return replace ? RepairFileStatus::kWritten : RepairFileStatus::kOutExists;
}

namespace {

size_t ReadFromFileAt(void* source, uint64_t offset, uint8_t* into, size_t size) {
  const int fd = *static_cast<int*>(source);
  for (;;) {
    const ssize_t got = pread(fd, into, size, static_cast<off_t>(offset));
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) return 0;
  }
}

}  // namespace

bool ReadDemoFileAt(const char* demoPath,
                    bool (*read)(void* context, ReadDemoAt readAt, void* source), void* context) {
  int in = open(demoPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (in < 0) return false;
  struct stat info;
  const bool done =
      fstat(in, &info) == 0 && S_ISREG(info.st_mode) && read(context, ReadFromFileAt, &in);
  close(in);
  return done;
}
