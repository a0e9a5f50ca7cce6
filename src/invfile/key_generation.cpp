#include "invfile/key_generation.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "app/app_context.h"
#include "app/progress.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "db/text_conversion.h"
#include "invfile/walk_progress.h"

namespace bramble {

namespace {

constexpr size_t kMfnWidth = 6;
constexpr size_t kKeyColumn = 9;  // six MFN digits and three blanks before the key

// The output's lines (without their CR LF; a last line without one counts).
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace

std::string BuildKeyFormat(const std::string& key, const std::string& other_db) {
  const std::string npost =
      other_db.empty() ? "npost(" + key + ")" : "npost(['" + other_db + "']," + key + ")";
  return "(if " + npost + " > 1 then mfn,x3," + key + "/ fi)";
}

std::string GroupKeyEntries(std::vector<std::string> entries) {
  std::sort(entries.begin(), entries.end());
  std::string out;
  std::string_view previous;
  bool first = true;
  for (const std::string& entry : entries) {
    if (entry.size() < kMfnWidth) continue;
    std::string_view key(entry.data(), entry.size() - kMfnWidth);
    if (first || key != previous) out += "\r\n";
    first = false;
    previous = key;
    char number[16];
    std::snprintf(number, sizeof number, "%6d", std::atoi(entry.c_str() + key.size()));
    out += number;
    out += "   ";
    out += key;
    out += "\r\n";
  }
  return out;
}

ListingOutcome RunKeyGeneration(AppContext& ctx, Ui& ui, Progress& progress,
                                const KeyGenerationRequest& request, const std::tm& now) {
  ListingOutcome outcome;
  if (!ctx.database_open()) {
    ui.Message(ctx.Msg(10, 2), kInvfileCaption, Buttons::kOk, Icon::kWarning);
    return outcome;
  }
  const MfnSelection& selection = ctx.selection();
  if (!selection.loaded) {
    ui.Message(ctx.Msg(5, 4), kInvfileCaption, Buttons::kOk, Icon::kWarning);
    return outcome;
  }
  if (request.expression.empty()) {
    ui.Message(ctx.Msg(22, 10), kInvfileCaption, Buttons::kOk, Icon::kWarning);
    return outcome;
  }
  std::string key = request.expression;
  ToStorage(key);  // typed by a person: into storage form, once
  const std::string own_db = StripExtension4(ctx.db_path());
  const std::string chosen = request.ifp_path.empty() ? "" : StripExtension4(request.ifp_path);
  const bool own = chosen.empty() || SameFile(chosen + ".ifp", own_db + ".ifp");
  const std::string format = BuildKeyFormat(key, own ? "" : chosen);

  std::string text = ListingHeader(ctx.messages(),
                                   {{MessageId{6, 2}, ctx.db_path()},
                                    {MessageId{19, 1}, own ? own_db + ".ifp" : chosen + ".ifp"}},
                                   now);
  CDbSession& db = ctx.db();
  CDbSession other;  // asks the other inverted file about first-line keys
  std::vector<std::string> entries;
  std::vector<int32_t> postings;
  std::string out;
  const std::string record_word = ctx.Msg(10, 7) + " ";
  ui.SetBusy(true);
  WalkProgress walk(progress, ctx.Msg(1, 8), selection.count);
  for (int32_t i = 0; i < selection.count; ++i) {
    const int32_t mfn = selection.MfnAt(i);
    if (walk.Step(i, record_word + std::to_string(mfn))) {
      progress.Close();
      ui.SetBusy(false);
      ui.Message(ctx.Msg(20, 1), kInvfileCaption, Buttons::kOk, Icon::kInformation);
      outcome.end = ListingEnd::kCancelled;
      return outcome;
    }
    if (db.ReadRecord(mfn, false) != 0) continue;
    const int32_t r = db.RunFormat(format, &out);
    if (r == -1) {
      text += out + "\r\n";  // RunFormat's error text is already in display form
      continue;
    }
    if (r <= 0) continue;
    const std::vector<std::string_view> lines = Lines(out);
    if (own) {
      for (std::string_view line : lines) {
        if (line.size() <= kKeyColumn) continue;
        std::string entry(line.substr(kKeyColumn));
        ToDisplay(entry);
        entry.append(line.substr(0, kMfnWidth));
        entries.push_back(std::move(entry));
      }
    } else if (!lines.empty() && lines.front().size() > kKeyColumn) {
      const std::string first_key(lines.front().substr(kKeyColumn));
      if (other.GetPostings(chosen, first_key, &postings) > 0) {
        std::string shown = out;
        ToDisplay(shown);
        text += shown + "\r\n";
      }
    }
  }
  if (own) text += GroupKeyEntries(std::move(entries));
  progress.Close();
  ui.SetBusy(false);
  ui.ShowText(ctx.Msg(15, 3), ctx.db_path(), text);
  outcome.end = ListingEnd::kCompleted;
  outcome.text = std::move(text);
  return outcome;
}

}  // namespace bramble
