#include "cli/repair.h"

#include <cstring>
#include <string>

#include "demo/demo_file.h"
#include "demo/demo_repair.h"
#include "demo/duration_text.h"
#include "demo/repair_file.h"

namespace {

const char kUsage[] =
    "usage: quendrix-repair [--force] DEMO OUT\n"
    "\n"
    "Makes a playable copy OUT of a demo that the game cut off (a crash, a killed\n"
    "game) or that was damaged: DEMO's header, its loading frames and its playback\n"
    "frames up to the last whole one, byte for byte, a next-section frame where\n"
    "the playback frames lack one, and a new directory of the two segments.\n"
    "DEMO is only read. OUT is written in its folder without a name (or under a\n"
    "temporary one) and named OUT once whole: a failure or an interruption\n"
    "leaves nothing. Prints what was kept and what was dropped.\n"
    "\n"
    "  --force  replace OUT when it is a regular file (never DEMO itself)\n"
    "  --help   this text\n"
    "\n"
    "Exit status: 0 when OUT was written, or DEMO is intact and nothing was\n"
    "written; 1 when no copy could be made (nothing to keep, a demo protocol\n"
    "other than 4 and 5, a file that cannot be read or written, OUT exists or\n"
    "is not a regular file); 2 for a usage error.\n";

int Fail(FILE* err, const char* path, const char* message) {
  fprintf(err, "quendrix-repair: %s: %s\n", path, message);
  return 1;
}

}  // namespace

const char* WriteFileMessage(RepairFileStatus status) {
  switch (status) {
    case RepairFileStatus::kOutExists: return "exists; --force replaces it. Nothing written.";
    case RepairFileStatus::kOutNotAFile:
      return "is not a regular file; --force replaces only a regular file. Nothing written.";
    case RepairFileStatus::kOutIsDemo: return "is the demo itself. Nothing written.";
    case RepairFileStatus::kCannotRead: return "could not be read whole. Nothing written.";
    case RepairFileStatus::kCannotWrite:
      return "could not be written (its folder must exist and take new files). Nothing written.";
    case RepairFileStatus::kDiskFull:
      return "could not be written: the disk is full. Nothing written.";
    case RepairFileStatus::kWritten: break;
  }
  return "";
}

int CopyToolUsage(const CopyToolLine& line, FILE* err, const char* problem, const char* arg) {
  if (problem != nullptr) fprintf(err, "%s: %s %s\n", line.tool, problem, arg);
  fputs(line.usage, err);
  return 2;
}

int TakeCopyToolLine(int argc, char** argv, CopyToolLine* line, FILE* out, FILE* err) {
  int names = 0;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!optionsEnded && strcmp(arg, "--help") == 0) {
      fputs(line->usage, out);
      return 0;
    } else if (!optionsEnded && strcmp(arg, "--force") == 0) {
      line->force = true;
    } else if (!optionsEnded && line->valueOption != nullptr &&
               strcmp(arg, line->valueOption) == 0) {
      if (i + 1 == argc) {
        return CopyToolUsage(*line, err, (std::string("no ") + line->valueName + " after").c_str(),
                             arg);
      }
      if (!line->valueRead(argv[++i], &line->value)) {
        return CopyToolUsage(*line, err, (std::string("not a ") + line->valueName + ":").c_str(),
                             argv[i]);
      }
    } else if (!optionsEnded && strcmp(arg, "--") == 0) {
      optionsEnded = true;
    } else if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
      return CopyToolUsage(*line, err, "unknown option", arg);
    } else if (names < line->nameCount) {
      line->names[names++] = arg;
    } else {
      names = line->nameCount + 1;
    }
  }
  return names == line->nameCount ? -1 : CopyToolUsage(*line, err, nullptr, nullptr);
}

int RunRepair(int argc, char** argv, FILE* out, FILE* err) {
  CopyToolLine line = {"quendrix-repair", kUsage};
  line.nameCount = 2;
  const int taken = TakeCopyToolLine(argc, argv, &line, out, err);
  if (taken >= 0) return taken;
  const bool force = line.force;
  const char* demoPath = line.names[0];
  const char* outPath = line.names[1];

  // Made before the demo is read: a folder that is missing, closed to new
  // files or full is told at once, not after minutes of reading.
  WholeFile copy;
  const RepairFileStatus made = PrepareCopy(demoPath, outPath, force, &copy);
  if (made != RepairFileStatus::kWritten) return Fail(err, outPath, WriteFileMessage(made));
  DemoInspection demo;
  const DemoFileStatus read = InspectDemoFile(demoPath, &demo);
  if (read != DemoFileStatus::kRead) return Fail(err, demoPath, DemoFileMessage(read));
  const DemoStructure& found = demo.structure;
  RepairPlan plan;
  switch (PlanRepair(found, &plan)) {
    case RepairOutcome::kAlreadyIntact:
      fprintf(out, "%s: intact; nothing written.\n", demoPath);
      return 0;
    case RepairOutcome::kNothingToKeep:
      return Fail(err, demoPath,
                  "no whole playback frame to keep (the recording was cut off while it was "
                  "loading). Nothing written.");
    case RepairOutcome::kUnknownProtocol:
      fprintf(err,
              "quendrix-repair: %s: demo protocol %d is not known: only 4 and 5 are read. "
              "Nothing written.\n",
              demoPath, found.demoProtocol);
      return 1;
    case RepairOutcome::kTooLarge:
      return Fail(err, demoPath,
                  "the repaired copy would be 4 GiB or more, past what a demo's directory can "
                  "name. Nothing written.");
    case RepairOutcome::kRepaired: break;
  }
  const RepairFileStatus written = WriteRepairFile(demoPath, plan, &copy, force);
  if (written != RepairFileStatus::kWritten) {
    return Fail(err, written == RepairFileStatus::kCannotRead ? demoPath : outPath,
                WriteFileMessage(written));
  }
  fprintf(out, "%s: kept %s, %lld frames, %llu bytes; dropped %llu bytes\n", outPath,
          DurationText(found.duration).c_str(), static_cast<long long>(found.frames),
          static_cast<unsigned long long>(plan.keepEnd),
          static_cast<unsigned long long>(found.fileSize - plan.keepEnd));
  return 0;
}
