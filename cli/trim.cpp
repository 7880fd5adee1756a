#include "cli/trim.h"

#include "cli/repair.h"
#include "demo/demo_file.h"
#include "demo/duration_text.h"
#include "demo/repair_file.h"
#include "messages/trim_file.h"

namespace {

const char kUsage[] =
    "usage: quendrix-trim [--to SECONDS] [--force] DEMO FROM OUT\n"
    "\n"
    "Makes a copy OUT of DEMO that plays from FROM seconds of its playback (as\n"
    "quendrix-inspect --json times it) to its end, or to its last frame at or\n"
    "before --to: DEMO's header and loading frames as they are, the state of\n"
    "the game at the cut, then DEMO's frames from the first at or after FROM.\n"
    "Times are seconds (75.5) or minutes and seconds (1:15). DEMO is only\n"
    "read, twice, a window at a time: a demo of any size is cut. OUT is written\n"
    "in its folder without a name (or under a temporary one) and named OUT once\n"
    "whole: a failure or an interruption leaves nothing.\n"
    "\n"
    "  --to SECONDS  end with the last frame at or before SECONDS\n"
    "  --force       replace OUT when it is a regular file (never DEMO itself)\n"
    "  --help        this text\n"
    "\n"
    "Exit status: 0 when OUT was written; 1 when no copy could be made (a demo\n"
    "that is not intact, of a protocol not read, with a map change before FROM\n"
    "or no frame to keep, a file that cannot be read or written, OUT exists or\n"
    "is not a regular file); 2 for a usage error.\n";

int Fail(FILE* err, const char* path, const char* message) {
  fprintf(err, "quendrix-trim: %s: %s\n", path, message);
  return 1;
}

}  // namespace

int RunTrim(int argc, char** argv, FILE* out, FILE* err) {
  CopyToolLine line = {"quendrix-trim", kUsage};
  line.valueOption = "--to";
  line.valueName = "time";
  line.valueRead = [](const char* text, double* seconds) { return ParseMoment(text, seconds); };
  line.nameCount = 3;
  const int taken = TakeCopyToolLine(argc, argv, &line, out, err);
  if (taken >= 0) return taken;
  const bool force = line.force;
  const double to = line.value;
  const char* demoPath = line.names[0];
  const char* outPath = line.names[2];
  double from = 0.0;
  if (!ParseMoment(line.names[1], &from)) {
    return CopyToolUsage(line, err, "not a time:", line.names[1]);
  }

  // Made before the demo is read: a folder that is missing, closed to new
  // files or full is told at once, not after minutes of reading.
  WholeFile copy;
  const RepairFileStatus made = PrepareCopy(demoPath, outPath, force, &copy);
  if (made != RepairFileStatus::kWritten) return Fail(err, outPath, WriteFileMessage(made));
  const TrimFileOutcome trimmed = TrimDemoFile(demoPath, from, to, &copy, force);
  if (trimmed.read != DemoFileStatus::kRead) {
    return Fail(err, demoPath, DemoFileMessage(trimmed.read));
  }
  if (trimmed.trim != TrimOutcome::kWritten) {
    return Fail(err, demoPath, (trimmed.reason + " Nothing written.").c_str());
  }
  if (trimmed.file == RepairFileStatus::kCannotRead) {
    return Fail(err, demoPath, "Could not read the demo again. Nothing written.");
  }
  if (trimmed.file != RepairFileStatus::kWritten) {
    return Fail(err, outPath, WriteFileMessage(trimmed.file));
  }
  const TrimPlan& plan = trimmed.plan;
  fprintf(out, "%s: plays %s, %lld frames, %llu bytes\n", outPath,
          DurationText(plan.lastTime - plan.firstTime).c_str(),
          static_cast<long long>(plan.networkFrames), static_cast<unsigned long long>(plan.size));
  return 0;
}
