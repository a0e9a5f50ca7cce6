#include "engine/status.h"

namespace vardo {

std::string Status::ToString() const {
  const char* name = "OK";
  switch (code_) {
    case Code::kOk:
      return "OK";
    case Code::kNotFound:
      name = "Not found";
      break;
    case Code::kCorruption:
      name = "Corruption";
      break;
    case Code::kIoError:
      name = "I/O error";
      break;
    case Code::kInvalidArgument:
      name = "Invalid argument";
      break;
    case Code::kBusy:
      name = "Busy";
      break;
    case Code::kTooLarge:
      name = "Too large";
      break;
    case Code::kInUse:
      name = "In use";
      break;
  }
  return msg_.empty() ? std::string(name) : std::string(name) + ": " + msg_;
}

}  // namespace vardo
