#include "messages/trim_file.h"

namespace {

struct TrimJob {
  TrimReader* reader;
  const DemoInspection* demo;
  TrimFileOutcome* outcome;
};

bool PlanAndWrite(void* context, ReadDemoAt readAt, void* source, WriteRepairPiece write,
                  void* sink) {
  TrimJob* job = static_cast<TrimJob*>(context);
  TrimFileOutcome& outcome = *job->outcome;
  outcome.trim = PlanTrim(job->reader, *job->demo, readAt, source, &outcome.plan, &outcome.reason);
  return outcome.trim == TrimOutcome::kWritten &&
         WriteTrim(outcome.plan, readAt, source, write, sink);
}

// The first reading, with the job for the second; false where the file
// could not be read.
bool ReadForTrim(const char* demoPath, TrimReader* reader, DemoInspection* demo,
                 TrimFileOutcome* outcome) {
  const WindowReader also = TrimWindowReader(reader);
  outcome->read = InspectDemoFile(demoPath, demo, &also);
  return outcome->read == DemoFileStatus::kRead;
}

}  // namespace

TrimFileOutcome TrimDemoFile(const char* demoPath, double from, double to, WholeFile* copy,
                             bool replace) {
  TrimFileOutcome outcome;
  TrimReader reader(from, to);
  DemoInspection demo;
  if (!ReadForTrim(demoPath, &reader, &demo, &outcome)) return outcome;
  TrimJob job = {&reader, &demo, &outcome};
  outcome.file = WriteCopyFile(demoPath, PlanAndWrite, &job, copy, replace);
  return outcome;
}

TrimFileOutcome TrimDemoFileInto(const char* demoPath, double from, double to,
                                 std::vector<uint8_t>* part) {
  part->clear();
  TrimFileOutcome outcome;
  TrimReader reader(from, to);
  DemoInspection demo;
  if (!ReadForTrim(demoPath, &reader, &demo, &outcome)) return outcome;
  struct Job {
    TrimJob trim;
    std::vector<uint8_t>* part;
  } job = {{&reader, &demo, &outcome}, part};
  const bool read = ReadDemoFileAt(
      demoPath,
      [](void* context, ReadDemoAt readAt, void* source) {
        Job* job = static_cast<Job*>(context);
        return PlanAndWrite(&job->trim, readAt, source, AppendToVector, job->part);
      },
      &job);
  if (!read) {
    part->clear();
    if (outcome.trim == TrimOutcome::kWritten) outcome.file = RepairFileStatus::kCannotRead;
  }
  return outcome;
}
