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

bool CopyRepair(const RepairPlan& plan, ReadDemoAt readAt, void* source, WholeFile* copy) {
  Sink sink = {copy, false};
  return WriteRepair(plan, readAt, source, WriteToFile, &sink) || sink.failed;
}

RepairFileStatus PrepareCopy(const char* demoPath, const char* outPath, bool replace,
                             WholeFile* copy) {
  const RepairFileStatus target = CheckRepairTarget(demoPath, outPath, replace);
  return target == RepairFileStatus::kWritten ? copy->Create(outPath) : target;
}
