// Status and Result: how fallible calls inside the engine report failure.
//
// The engine never throws across its facade.  Every fallible call returns a
// Status (or a Result<T> carrying a value on success).  NotFound is a normal
// outcome that callers test, not an error to log.  The facade (vardo.h) maps
// each code to the signed integers the program expects, in one table.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace vardo {

class [[nodiscard]] Status {
 public:
  enum class Code {
    kOk = 0,
    kNotFound,         // the thing asked for does not exist (never-written MFN, absent key)
    kCorruption,       // bytes on disk fail a check (magic, bounds, checksum)
    kIoError,          // the OS refused a read or write
    kInvalidArgument,  // the caller passed something malformed (bad tag, bad command)
    kBusy,             // a lock is held elsewhere and the wait ran out
    kTooLarge,         // a record image or output would exceed its documented limit
    kInUse,            // other sessions have the database open; the operation needs it alone
  };

  Status() = default;
  static Status Ok() { return Status(); }
  static Status NotFound(std::string msg) { return Status(Code::kNotFound, std::move(msg)); }
  static Status Corruption(std::string msg) { return Status(Code::kCorruption, std::move(msg)); }
  static Status IoError(std::string msg) { return Status(Code::kIoError, std::move(msg)); }
  static Status InvalidArgument(std::string msg) {
    return Status(Code::kInvalidArgument, std::move(msg));
  }
  static Status Busy(std::string msg) { return Status(Code::kBusy, std::move(msg)); }
  static Status TooLarge(std::string msg) { return Status(Code::kTooLarge, std::move(msg)); }
  static Status InUse(std::string msg) { return Status(Code::kInUse, std::move(msg)); }

  bool ok() const { return code_ == Code::kOk; }
  bool IsNotFound() const { return code_ == Code::kNotFound; }
  bool IsCorruption() const { return code_ == Code::kCorruption; }
  bool IsIoError() const { return code_ == Code::kIoError; }
  bool IsInvalidArgument() const { return code_ == Code::kInvalidArgument; }
  bool IsBusy() const { return code_ == Code::kBusy; }
  bool IsTooLarge() const { return code_ == Code::kTooLarge; }
  bool IsInUse() const { return code_ == Code::kInUse; }
  Code code() const { return code_; }
  const std::string& message() const { return msg_; }
  // "Corruption: bad checksum in image at offset 4096" and the like.
  std::string ToString() const;

 private:
  Status(Code c, std::string m) : code_(c), msg_(std::move(m)) {}
  Code code_ = Code::kOk;
  std::string msg_;
};

// A value or the Status that explains why there is none.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}  // NOLINT: implicit on purpose
  Result(Status s) : v_(std::move(s)) {}     // NOLINT
  bool ok() const { return std::holds_alternative<T>(v_); }
  const Status& status() const {
    static const Status kOk;
    return ok() ? kOk : std::get<Status>(v_);
  }
  T& value() & { return std::get<T>(v_); }
  const T& value() const& { return std::get<T>(v_); }
  T&& value() && { return std::get<T>(std::move(v_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() { return value(); }

 private:
  std::variant<T, Status> v_;
};

// Records file and line of a corruption report, so a damaged-file bug can be
// traced to the check that caught it.
#define VARDO_CORRUPT(what)                                               \
  ::vardo::Status::Corruption(std::string(what) + " [" + __FILE__ + ":" + \
                              std::to_string(__LINE__) + "]")

}  // namespace vardo
