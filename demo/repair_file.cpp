// The platform-free part of writing a repaired copy.
#include "demo/repair_file.h"

namespace {

struct Sink {
  WholeFile* file;
  bool failed;
};

bool WriteToFile(void* sink, const uint8_t* bytes, size_t size) {
  Sink* to = static_cast<Sink*>(sink);
  to->failed = !to->file->Write(bytes, size);
  return !to->failed;
}

}  // namespace

RepairFileStatus WriteCopyFile(const char* demoPath, MakeCopy make, void* context, WholeFile* copy,
                               bool replace) {
  struct Job {
    MakeCopy make;
    void* context;
    Sink sink;
  } job = {make, context, {copy, false}};
  const bool read = ReadDemoFileAt(
      demoPath,
      [](void* context, ReadDemoAt readAt, void* source) {
        Job* job = static_cast<Job*>(context);
        // A failed write is told by PutInPlace.
        return job->make(job->context, readAt, source, WriteToFile, &job->sink) || job->sink.failed;
      },
      &job);
  return read ? copy->PutInPlace(replace) : RepairFileStatus::kCannotRead;
}

RepairFileStatus WriteRepairFile(const char* demoPath, const RepairPlan& plan, WholeFile* copy,
                                 bool replace) {
  return WriteCopyFile(
      demoPath,
      [](void* plan, ReadDemoAt readAt, void* source, WriteRepairPiece write, void* sink) {
        return WriteRepair(*static_cast<const RepairPlan*>(plan), readAt, source, write, sink);
      },
      const_cast<RepairPlan*>(&plan), copy, replace);
}

RepairFileStatus PrepareCopy(const char* demoPath, const char* outPath, bool replace,
                             WholeFile* copy) {
  const RepairFileStatus target = CheckRepairTarget(demoPath, outPath, replace);
  return target == RepairFileStatus::kWritten ? copy->Create(outPath) : target;
}
