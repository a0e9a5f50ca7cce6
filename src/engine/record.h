// Record: the in-memory form of one master-file record.
//
// A record is a directory of fields in order; each field is a tag (1..32767)
// and a text of bytes (any value 0..255, no terminator).  Occurrence k of a
// tag is the k-th field with that tag in directory order, counted from 1;
// directory position p is the p-th field, counted from 1.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vardo {

inline constexpr int32_t kMinTag = 1;
inline constexpr int32_t kMaxTag = 32767;

struct Field {
  int32_t tag = 0;
  std::string text;
  bool operator==(const Field&) const = default;
};

enum class RecordStatus : uint8_t {
  kActive = 0,
  kLogicallyDeleted = 1,
};

// Fields visited by the engine's walks over a record's directory (lookups,
// deletes by tag, sorts, format field selection), summed over all records and
// threads.  Tests read it to bound the work of an operation by counting
// instead of timing.
inline std::atomic<int64_t> g_fields_scanned{0};
inline void CountFieldsScanned(size_t n) {
  g_fields_scanned.fetch_add(static_cast<int64_t>(n), std::memory_order_relaxed);
}

struct Record {
  int32_t mfn = 0;  // 0 for a new record not yet written
  RecordStatus status = RecordStatus::kActive;
  std::vector<Field> fields;

  // Number of fields with this tag.
  int OccCount(int32_t tag) const;
  // Text of occurrence occ (1-based) of tag, or nullptr when absent.
  const std::string* Find(int32_t tag, int occ) const;
  // Index into fields of occurrence occ (1-based) of tag, or -1.
  int IndexOf(int32_t tag, int occ) const;
  bool operator==(const Record&) const = default;
};

}  // namespace vardo
