// vardo format: runs a print format on each record of a database.
//
// Standard output carries only the formats' output: each record's output as
// it is, followed by a line end ("\n") when it does not already end with one.
// Records that are not active are skipped.  Errors go to standard error:
//   - a compile error prints the format line, a caret under the error
//     position and a one-line explanation; exit 1, nothing is run;
//   - a run error prints the MFN, the code and its explanation and goes on
//     with the next record; the exit status is then 1.
// --dump prints the compiled form instead of running it.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/vardo_command.h"
#include "engine/format/format_dump.h"
#include "engine/format/format_parser.h"
#include "engine/format/space_format.h"
#include "engine/vardo.h"

namespace vardo::cli {

namespace {

// The format tool accepts longer output than the program's 32 KiB buffers.
constexpr int32_t kOutputSize = 1 << 20;

bool ParsePositive(const std::string& text, int32_t* out) {
  if (text.empty() || text.size() > 10) return false;
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < 1 || v > INT32_MAX) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// The line of format holding 1-based position, and a caret line under it.
void PrintCaret(const std::string& format, int32_t position, const std::string& message) {
  size_t at = std::min(static_cast<size_t>(position - 1), format.size());
  size_t begin = at == 0 ? std::string::npos : format.rfind('\n', at - 1);
  begin = begin == std::string::npos ? 0 : begin + 1;
  size_t end = format.find('\n', begin);
  if (end == std::string::npos) end = format.size();
  std::string line = format.substr(begin, end - begin);
  std::string caret;
  for (size_t i = begin; i < at && i < end; ++i) caret += format[i] == '\t' ? '\t' : ' ';
  caret += '^';
  std::fprintf(stderr, "%s\n%s\n", line.c_str(), caret.c_str());
  PrintError("format error at position " + std::to_string(position) + ": " + message);
}

int CmdFormat(const std::vector<std::string>& input) {
  std::vector<std::string> args = input;
  int32_t from = 1, to = INT32_MAX;
  std::string v;
  bool missing = false;
  const bool dump = TakeFlag(&args, "--dump");
  if (TakeOption(&args, "--from", &v, &missing) && !ParsePositive(v, &from)) {
    PrintError("--from needs an MFN, got '" + v + "'");
    return kExitUsage;
  }
  if (TakeOption(&args, "--to", &v, &missing) && !ParsePositive(v, &to)) {
    PrintError("--to needs an MFN, got '" + v + "'");
    return kExitUsage;
  }
  if (missing || args.size() != 2) {
    PrintError("usage: vardo format DB [--from N] [--to M] [--dump] FORMAT");
    return kExitUsage;
  }
  const std::string& path = args[0];
  const std::string& format = args[1];

  if (dump) {
    FormatCompileError error;
    auto compiled = CompileFormat(format, &error);
    if (!compiled) {
      PrintCaret(format, error.position, error.message);
      return kExitFailure;
    }
    std::fputs(DumpFormat(*compiled).c_str(), stdout);
    return kExitOk;
  }

  int32_t app = vardo_app_new();
  if (!ApplySyspar(app)) return kExitFailure;
  int32_t space = vardo_space_new(app);
  if (space <= 0) {
    PrintError(std::string("cannot make a space: ") + vardo_strerror(space));
    return kExitFailure;
  }
  int32_t pos = vardo_compile_format(space, format.c_str());
  if (pos > 0) {
    PrintCaret(format, pos, LastFormatCompileMessage(space));
    return kExitFailure;
  }
  if (pos < 0) {
    PrintError(std::string("cannot compile the format: ") + vardo_strerror(pos));
    return kExitFailure;
  }
  int32_t rc = vardo_set_master_file(space, path.c_str());
  if (rc != 0) {
    PrintError(path + ": " + vardo_strerror(rc));
    return kExitFailure;
  }
  // The database's own inverted file, for npost(K) without a database name;
  // a database without one still formats (npost then counts 0).
  (void)vardo_set_inverted_file(space, path.c_str());
  int32_t control[9] = {};
  rc = vardo_control_record(space, control);
  if (rc != 0) {
    PrintError(path + ": " + vardo_strerror(rc));
    return kExitFailure;
  }
  const int32_t last = control[1] - 1;
  if (to > last) to = last;

  std::vector<char> out(static_cast<size_t>(kOutputSize));
  int status = kExitOk;
  for (int32_t mfn = from; mfn <= to; ++mfn) {
    rc = vardo_read_record(space, 0, mfn);
    if (rc != VARDO_OK) {
      if (rc == VARDO_DAMAGED || rc == VARDO_IO || rc == VARDO_LOCKED) {
        PrintError("MFN " + std::to_string(mfn) + ": " + vardo_strerror(rc));
        status = kExitFailure;
      }
      continue;  // deleted, unused, purged: not formatted
    }
    int32_t n = vardo_run_format(space, 0, out.data(), kOutputSize);
    if (n < 0) {
      std::string why = LastFormatRunMessage(space);
      PrintError("MFN " + std::to_string(mfn) + ": " + vardo_strerror(n) +
                 (why.empty() ? "" : " (" + why + ")"));
      status = kExitFailure;
      continue;
    }
    std::fwrite(out.data(), 1, static_cast<size_t>(n), stdout);
    if (n == 0 || out[static_cast<size_t>(n) - 1] != '\n') std::fputc('\n', stdout);
  }
  if (std::fflush(stdout) != 0) {
    PrintError("cannot write the output");
    return kExitFailure;
  }
  return status;
}

}  // namespace

VARDO_COMMAND("format", "format DB [--from N] [--to M] [--dump] FORMAT",
              "run a print format on each active record and print its output", CmdFormat);

}  // namespace vardo::cli
