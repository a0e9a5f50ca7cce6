#include "invfile/key_generation.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

#include "app/app_context.h"
#include "app/progress.h"
#include "app/text_report.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "db/key_case.h"
#include "db/text_conversion.h"
#include "invfile/walk_progress.h"

namespace bramble {

namespace {

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

// The format resolves a relative database path from the open database's
// folder, while the person typed or chose it from the current folder.
std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

std::string ListingLine(int32_t mfn, const std::string& display_text) {
  char number[16];
  std::snprintf(number, sizeof number, "%6d", mfn);
  return number + std::string("   ") + display_text + "\r\n";
}

// The report's head: the database, the inverted file and the date, each
// value in one column whatever the length of the language's labels (tab
// stops would put a long label's value one stop further than the others').
// Then the empty lines every listing has before its body.
std::string AlignedHeader(const AppContext& ctx, const std::string& db_path,
                          const std::string& ifp_path, const std::tm& now) {
  const std::pair<std::string, std::string> rows[] = {
      {ctx.Msg(6, 2), db_path},
      {ctx.Msg(19, 1), ifp_path},
      {ctx.Msg(6, 3), ReportDate(ctx.messages(), now)}};
  size_t width = 0;
  std::vector<std::string> labels;
  for (const auto& [label, value] : rows) {
    std::string trimmed = label;
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    width = std::max(width, trimmed.size());
    labels.push_back(std::move(trimmed));
  }
  std::string out;
  for (size_t i = 0; i < labels.size(); ++i)
    out += labels[i] + std::string(width - labels[i].size() + 2, ' ') + rows[i].second + "\r\n";
  out += "\r\n\r\n\r\n";
  return out;
}

// An error of one record: its MFN in the MFN column and again in words, so
// the line cannot be read as a printed key.
std::string ErrorLine(const AppContext& ctx, int32_t mfn, const std::string& error) {
  return ListingLine(mfn, ctx.Msg(8, 6) + " " + std::to_string(mfn) + ": " + error);
}

}  // namespace

std::string BuildKeyFormat(const std::string& key, const std::string& other_db) {
  // Another file is asked whether it holds the key at all; the database's own
  // one whether another posting than this record's may exist.
  if (other_db.empty()) return "(if npost(" + key + ") > 1 then mfn,x3," + key + "/ fi)";
  return "(if npost(['" + other_db + "']," + key + ") > 0 then mfn,x3," + key + "/ fi)";
}

size_t KeyFormatPrefixLength(const std::string& other_db) {
  return other_db.empty() ? std::string("(if npost(").size()
                          : std::string("(if npost(['").size() + other_db.size() + 3;
}

std::string GroupKeyEntries(std::vector<KeyEntry> entries,
                            const std::function<bool(const std::string&)>& shared) {
  std::sort(entries.begin(), entries.end(), [](const KeyEntry& a, const KeyEntry& b) {
    return a.key != b.key ? a.key < b.key : a.mfn < b.mfn;
  });
  std::string out;
  size_t i = 0;
  while (i < entries.size()) {
    size_t end = i;
    size_t records = 0;
    while (end < entries.size() && entries[end].key == entries[i].key) {
      if (end == i || entries[end].mfn != entries[end - 1].mfn) ++records;
      ++end;
    }
    // One record that prints the key twice is no duplicate; one record of the
    // set whose key another record (outside the set) shares is.
    if (!entries[i].key.empty() && (records > 1 || shared(entries[i].key))) {
      out += "\r\n";
      for (size_t k = i; k < end; ++k) {
        if (k > i && entries[k].mfn == entries[k - 1].mfn) continue;
        out += ListingLine(entries[k].mfn, entries[k].text);
      }
    }
    i = end;
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
  const std::string& key = request.expression;
  const std::string own_db = StripExtension4(ctx.db_path());
  const std::string chosen = request.ifp_path.empty() ? "" : StripExtension4(request.ifp_path);
  const bool own = chosen.empty() || SameFile(chosen + ".ifp", own_db + ".ifp");
  const std::string other_db = own ? "" : AbsolutePath(chosen);
  const std::string format = BuildKeyFormat(key, other_db);

  // A format that does not compile fails alike for every record: said once,
  // at the place of what the person typed, before any record is read.
  CDbSession& db = ctx.db();
  int32_t error_at = db.CompileFormat(key);
  if (error_at <= 0) {
    const int32_t wrapped = db.CompileFormat(format);
    if (wrapped > 0) {
      const int64_t typed =
          static_cast<int64_t>(wrapped) - static_cast<int64_t>(KeyFormatPrefixLength(other_db));
      error_at =
          static_cast<int32_t>(std::clamp<int64_t>(typed, 1, static_cast<int64_t>(key.size()) + 1));
    }
  }
  if (error_at > 0) {
    ui.Message(ctx.Msg(kMsgKeyExpressionError) + " " + std::to_string(error_at), kInvfileCaption,
               Buttons::kOk, Icon::kWarning);
    return outcome;
  }

  if (own) {
    // The duplicates are looked up in the database's own inverted file at the
    // end: a damaged one is said before the walk, not found empty after it.
    CDbSession probe;
    std::vector<int32_t> none;
    if (CDbSession::IsDamagedIndex(probe.GetPostings(own_db + ".ifp", "A", &none))) {
      ui.Message(own_db + ".ifp\n" + ctx.Msg(33, 6), kInvfileCaption, Buttons::kOk, Icon::kError);
      outcome.end = ListingEnd::kFailed;
      return outcome;
    }
  }

  std::string text =
      AlignedHeader(ctx, ctx.db_path(), own ? own_db + ".ifp" : chosen + ".ifp", now);
  std::vector<KeyEntry> entries;
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
    const int32_t status = db.ReadRecord(mfn, false);
    if (status != 0) {
      // Deleted and never-written records are simply not listed; one that
      // cannot be read is an error of this record, said with its MFN.
      if (status != -1 && status != -602 && status != -603 && status != -604 && status != -605)
        text += ErrorLine(ctx, mfn, ctx.Msg(35, 6) + " (" + std::to_string(status) + ")");
      continue;
    }
    const int32_t r = db.RunFormat(format, &out);
    if (r == -1) {
      // A run error belongs to this record (its data overflowed the buffer,
      // say); RunFormat's text is already in display form.
      text += ErrorLine(ctx, mfn, out);
      continue;
    }
    if (r <= 0) continue;
    std::vector<std::string> seen;  // index keys of this record already listed
    std::string lines;
    for (std::string_view line : Lines(out)) {
      if (line.size() <= kKeyColumn) continue;
      const std::string printed(line.substr(kKeyColumn));
      std::string index_key = IndexKey(printed);
      if (index_key.empty()) continue;
      std::string shown = printed;
      ToDisplay(shown);
      if (own) {
        entries.push_back({std::move(index_key), mfn, std::move(shown)});
      } else if (std::find(seen.begin(), seen.end(), index_key) == seen.end()) {
        // Every line names a key the other file holds (the format asked it).
        seen.push_back(std::move(index_key));
        lines += ListingLine(mfn, shown);
      }
    }
    if (!lines.empty()) text += "\r\n" + lines;
  }
  if (own) {
    CDbSession postings_session;
    const std::string own_ifp = own_db + ".ifp";
    std::vector<int32_t> mfns;
    text += GroupKeyEntries(std::move(entries), [&](const std::string& index_key) {
      if (postings_session.GetPostings(own_ifp, index_key, &mfns) < 0) return false;
      mfns.erase(std::unique(mfns.begin(), mfns.end()), mfns.end());
      return mfns.size() > 1;
    });
  }
  progress.Close();
  ui.SetBusy(false);
  ui.ShowText(ctx.Msg(15, 3), ctx.db_path(), text);
  outcome.end = ListingEnd::kCompleted;
  outcome.text = std::move(text);
  return outcome;
}

}  // namespace bramble
