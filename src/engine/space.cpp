#include "engine/space.h"

#include <memory>
#include <mutex>
#include <vector>

#include "engine/field_command.h"
#include "engine/vardo.h"

namespace vardo {

bool Space::EnsureOpen() {
  if (db.is_open()) return true;
  if (!released || path.empty()) return false;
  if (!db.Open(path, read_only).ok()) return false;
  released = false;
  return true;
}

RecordBuffer* FindBufferAsIs(Space* space, int32_t buffer) {
  if (!space || buffer < 0 || buffer >= kRecordBuffers) return nullptr;
  return &space->buffers[static_cast<size_t>(buffer)];
}

RecordBuffer* FindBuffer(Space* space, int32_t buffer) {
  RecordBuffer* b = FindBufferAsIs(space, buffer);
  if (b) SortWaitingFields(&b->record, &b->unsorted);
  return b;
}

int32_t ToFacadeCode(const Status& s) {
  switch (s.code()) {
    case Status::Code::kOk:
      return VARDO_OK;
    case Status::Code::kNotFound:
      return VARDO_NO_DATABASE;
    case Status::Code::kCorruption:
      return VARDO_DAMAGED;
    case Status::Code::kIoError:
      return VARDO_IO;
    case Status::Code::kInvalidArgument:
      return VARDO_BAD_ARGUMENT;
    case Status::Code::kBusy:
      return VARDO_LOCKED;
    case Status::Code::kTooLarge:
      return VARDO_TOO_LARGE;
    case Status::Code::kInUse:
      return VARDO_IN_USE;
  }
  return VARDO_BAD_ARGUMENT;
}

}  // namespace vardo
