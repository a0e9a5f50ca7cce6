// Fuzz target: compile any bytes as a print format and run it on a fixed
// record.  Whatever the input, compiling must return a format or an error
// position inside the text (or one past it), and running must finish within
// its output limit without crashing.  Findings become cases in
// tests/engine/format_corpus/regression/, named by date.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/format/format_dump.h"
#include "engine/format/format_evaluator.h"
#include "engine/format/format_parser.h"

namespace {

class FuzzEnvironment : public vardo::FormatEnvironment {
 public:
  vardo::Status ReadRecord(const std::string& db, int32_t mfn, vardo::Record* out,
                           bool* found) override {
    *found = false;
    if (db == "bad") return vardo::Status::IoError("unreadable");
    if (mfn < 1 || mfn > 3) return vardo::Status::Ok();
    out->mfn = mfn;
    out->fields = {{10, "^aref " + std::to_string(mfn)}, {20, "x"}, {20, "y"}};
    *found = true;
    return vardo::Status::Ok();
  }
  vardo::Result<int64_t> CountPostings(const std::string& db, const std::string& key) override {
    if (db == "bad") return vardo::Status::IoError("unreadable");
    return static_cast<int64_t>(key.size() % 3);
  }
  std::time_t Now() override { return 0; }
};

vardo::Record FixedRecord() {
  vardo::Record r;
  r.mfn = 42;
  r.fields = {{10, "^aThe garden^bnotes^cReed"},
              {20, "12.5"},
              {650, "Soil"},
              {650, "Compost"},
              {650, ""},
              {100, "^aReed, Anna^d1950-"},
              {1, std::string("\0\xff^", 3)}};
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vardo::Record record = FixedRecord();
  std::string_view text(reinterpret_cast<const char*>(data), size);
  vardo::FormatCompileError error;
  auto compiled = vardo::CompileFormat(text, &error);
  if (!compiled) {
    if (error.position < 1 || static_cast<size_t>(error.position) > size + 1) std::abort();
    if (error.message.empty()) std::abort();
    return 0;
  }
  (void)vardo::DumpFormat(*compiled);
  FuzzEnvironment env;
  vardo::FormatEvaluator evaluator(&env);
  std::string out;
  constexpr size_t kLimit = 4096;
  bool ok = evaluator.Run(*compiled, record, &out, kLimit);
  if (out.size() > kLimit) std::abort();
  if (!ok && evaluator.error().fault == vardo::FormatFault::kInternal) std::abort();
  return 0;
}
