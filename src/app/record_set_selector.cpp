#include "app/record_set_selector.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <unordered_set>

#include "app/app_context.h"
#include "app/record_condition.h"
#include "app/record_search.h"
#include "app/ui.h"
#include "db/text_conversion.h"

namespace bramble {

namespace {

std::string Decimal(int32_t v) { return std::to_string(v); }

bool ReadFilePrefix(const std::string& path, size_t limit, std::string* out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  out->assign(limit, '\0');
  size_t n = std::fread(out->data(), 1, limit, f);
  bool ok = !std::ferror(f);
  std::fclose(f);
  out->resize(n);
  return ok;
}

bool IsBlankLine(const std::string& line) {
  for (unsigned char ch : line) {
    if (!std::isspace(ch)) return false;
  }
  return true;
}

// Accepts v into out unless it is 0, outside low..high or already there (a
// record must never be worked on twice in one run).
void Consider(int32_t v, int32_t low, int32_t high, std::unordered_set<uint32_t>* seen,
              MfnListOutcome* out) {
  if (v == 0 || v < low || v > high) {
    out->skipped = true;
    return;
  }
  if (!seen->insert(static_cast<uint32_t>(v)).second) {
    out->repeats_dropped = true;
    return;
  }
  out->accepted.push_back(static_cast<uint32_t>(v));
}

}  // namespace

MfnListOutcome ParseWorksheetLines(std::vector<std::string> lines, int32_t low, int32_t high) {
  MfnListOutcome out;
  // Sorting first makes every repeated line adjacent, so all repeats go, not
  // only those typed next to each other.
  std::sort(lines.begin(), lines.end());
  auto last = std::unique(lines.begin(), lines.end());
  if (last != lines.end()) out.repeats_dropped = true;
  lines.erase(last, lines.end());
  std::unordered_set<uint32_t> seen;
  for (const std::string& line : lines) Consider(ParseLeadingInt(line), low, high, &seen, &out);
  return out;
}

MfnListOutcome ParseMfnFile(const std::string& bytes, int32_t low, int32_t high) {
  MfnListOutcome out;
  std::string text = bytes.substr(0, kMaxMfnFileBytes);
  bool cut = bytes.size() > kMaxMfnFileBytes;
  size_t eof = text.find("EOF");
  if (eof != std::string::npos) {
    text.resize(eof);
    cut = false;
  }
  if (cut) {
    // The last line may have been cut in the middle of a number; taking "12"
    // of "12345" would work on the wrong record.  It is left out and counted
    // as skipped, like everything after it.
    size_t lf = text.rfind('\n');
    text.resize(lf == std::string::npos ? 0 : lf + 1);
    out.skipped = true;
  }
  std::unordered_set<uint32_t> seen;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t lf = text.find('\n', pos);
    size_t end = lf == std::string::npos ? text.size() : lf;
    std::string line = text.substr(pos, end - pos);
    if (!IsBlankLine(line)) Consider(ParseLeadingInt(line), low, high, &seen, &out);
    if (lf == std::string::npos) break;
    pos = lf + 1;
  }
  return out;
}

RecordSetSelector::RecordSetSelector(AppContext& ctx, Ui& ui) : ctx_(ctx), ui_(ui) {
  ResetForNoDatabase();
}

void RecordSetSelector::ResetForNoDatabase() {
  controls_ = RecordSetControls();
  last_from_ = 0;
  last_to_ = 0;
  from_worksheet_ = false;
}

void RecordSetSelector::ResetForOpenedDatabase() {
  const int32_t last = ctx_.db().LastMfn();
  // The condition belongs to the person, not to the database: it stays.
  std::string condition = std::move(controls_.condition_text);
  controls_ = RecordSetControls();
  controls_.condition_text = std::move(condition);
  controls_.from_text = "1";
  controls_.to_text = Decimal(last);
  controls_.accept_enabled = true;
  controls_.edits_enabled = true;
  controls_.list_radios_enabled = true;
  controls_.range_radio_enabled = true;
  // The search needs an inverted file; the window says why it is off.
  controls_.search_radio_enabled = ctx_.db().HasInvertedFile();
  last_from_ = 1;
  last_to_ = last;
  from_worksheet_ = false;
  pending_told_ = false;
  ctx_.selection().Clear();
  ctx_.selection().mode = SelectionMode::kRange;
}

void RecordSetSelector::SelectRange() {
  controls_.radio = SelectionMode::kRange;
  controls_.accept_enabled = true;
  controls_.edits_enabled = true;
  controls_.worksheet_buttons_visible = false;
  controls_.browse_visible = false;
  controls_.search_combo_visible = false;
}

void RecordSetSelector::SelectWorksheet() {
  controls_.radio = SelectionMode::kWorksheet;
  controls_.accept_enabled = false;
  controls_.edits_enabled = false;
  controls_.worksheet_buttons_visible = true;
  controls_.browse_visible = false;
  controls_.search_combo_visible = false;
}

void RecordSetSelector::SelectExternalFile() {
  controls_.radio = SelectionMode::kExternalFile;
  controls_.accept_enabled = false;
  controls_.edits_enabled = false;
  controls_.worksheet_buttons_visible = false;
  controls_.browse_visible = true;
  controls_.search_combo_visible = false;
}

void RecordSetSelector::SelectSearchResult() {
  controls_.radio = SelectionMode::kSearchResult;
  // The expression chooses the records: the range edits play no part.
  controls_.accept_enabled = true;
  controls_.edits_enabled = false;
  controls_.worksheet_buttons_visible = false;
  controls_.browse_visible = false;
  controls_.search_combo_visible = true;
}

bool RecordSetSelector::DatabaseOpen() {
  if (ctx_.database_open()) return true;
  ui_.Message(ctx_.Msg(10, 2), "Bramble", Buttons::kOk, Icon::kWarning);
  return false;
}

void RecordSetSelector::SetStatus(bool loaded) {
  controls_.status_loaded = loaded;
  controls_.status_count = -1;
  ctx_.selection().loaded = loaded;
  if (loaded) controls_.list_radios_enabled = true;
}

bool RecordSetSelector::FirstEditLeft(bool focus_to_second_edit) {
  if (controls_.from_text.empty()) return true;
  if (!DatabaseOpen()) return true;
  const int32_t v = ParseLeadingInt(controls_.from_text);
  if (v < 1) {
    ui_.Message(ctx_.Msg(23, 1), "Bramble", Buttons::kOk, Icon::kWarning);
    return false;
  }
  if (ctx_.selection().loaded && !focus_to_second_edit && v != last_from_) Accept();
  return true;
}

void RecordSetSelector::SecondEditLeft() {
  if (controls_.to_text.empty()) return;
  if (!DatabaseOpen()) return;
  int32_t v = ParseLeadingInt(controls_.to_text);
  const int32_t last = ctx_.db().LastMfn();
  // The comparison is with the bound accepted before the clamp, so a clamped
  // new value still rebuilds a loaded set instead of leaving the edits and
  // the set telling different stories.
  const int32_t previous = last_to_;
  if (v > last) {
    v = last;
    controls_.to_text = Decimal(v);
    last_to_ = v;
  }
  if (ctx_.selection().loaded && v != previous) Accept();
}

void RecordSetSelector::EnterPressed() {
  const int32_t from = ParseLeadingInt(controls_.from_text);
  const int32_t to = ParseLeadingInt(controls_.to_text);
  controls_.from_text = Decimal(from);
  controls_.to_text = Decimal(to);
  last_from_ = from;
  last_to_ = to;
  Accept();
}

bool RecordSetSelector::TakeCondition() {
  std::string stored = controls_.condition_text;
  ToStorage(stored);
  RecordCondition condition(std::move(stored));
  const int32_t r = condition.Compile(ctx_.db());
  if (r != 0) {
    ui_.Message(ctx_.Msg(32, 10) + " " + Decimal(r > 0 ? r : 1), "Bramble", Buttons::kOk,
                Icon::kWarning);
    return false;
  }
  ctx_.selection().condition = std::move(condition);
  return true;
}

bool RecordSetSelector::Accept() {
  if (!DatabaseOpen()) return false;
  MfnSelection& sel = ctx_.selection();
  if (!TakeCondition()) return sel.loaded;
  const int32_t from = ParseLeadingInt(controls_.from_text);
  const int32_t to = ParseLeadingInt(controls_.to_text);
  if (to < from) {
    // A first bound past the last MFN makes the clamped second bound fall
    // below it; saying the bounds are reversed would blame the wrong edit.
    const bool beyond = from > ctx_.db().LastMfn();
    ui_.Message(ctx_.Msg(beyond ? 35 : 25, beyond ? 3 : 10), "Bramble", Buttons::kOk,
                Icon::kWarning);
    return sel.loaded;
  }
  // A first bound below 1 would walk MFNs that cannot exist (and a negative
  // one could overflow the count); the edit's own check only runs on focus loss.
  if (from < 1) {
    ui_.Message(ctx_.Msg(23, 1), "Bramble", Buttons::kOk, Icon::kWarning);
    return sel.loaded;
  }
  SelectionMode mode;
  if (controls_.radio == SelectionMode::kWorksheet) {
    if (sel.loaded &&
        ui_.Message(ctx_.Msg(3, 9), "Bramble", Buttons::kYesNo, Icon::kQuestion) != Answer::kYes) {
      return sel.loaded;
    }
    mode = SelectionMode::kWorksheet;
  } else {
    if (sel.loaded &&
        ui_.Message(ctx_.Msg(3, 10), "Bramble", Buttons::kYesNo, Icon::kQuestion) != Answer::kYes) {
      controls_.to_text = Decimal(last_to_);
      return sel.loaded;
    }
    mode = controls_.radio == SelectionMode::kExternalFile   ? SelectionMode::kExternalFile
           : controls_.radio == SelectionMode::kSearchResult ? SelectionMode::kSearchResult
                                                             : SelectionMode::kRange;
  }
  controls_.view_list_enabled = mode != SelectionMode::kRange;
  sel.list.clear();
  sel.count = 0;
  controls_.from_text = Decimal(from);
  controls_.to_text = Decimal(to);
  last_from_ = from;
  last_to_ = to;
  const bool ok = BuildSet(mode);
  SetStatus(ok);
  if (ok && mode == SelectionMode::kSearchResult) controls_.status_count = sel.count;
  return ok;
}

bool RecordSetSelector::BuildSet(SelectionMode mode) {
  MfnSelection& sel = ctx_.selection();
  sel.mode = mode;
  sel.from = last_from_;
  sel.to = last_to_;
  MfnListOutcome outcome;
  switch (mode) {
    case SelectionMode::kRange:
      sel.count = static_cast<int32_t>(static_cast<int64_t>(sel.to) - sel.from + 1);
      return true;
    case SelectionMode::kSearchResult:
      return BuildSearchSet();
    case SelectionMode::kWorksheet: {
      std::optional<std::vector<std::string>> lines =
          ui_.Worksheet(ctx_.Msg(4, 3), {}, 10, 100, false);
      if (!lines) return false;
      outcome = ParseWorksheetLines(std::move(*lines), sel.from, sel.to);
      if (outcome.repeats_dropped) {
        ui_.Message(ctx_.Msg(23, 2), "Bramble", Buttons::kOk, Icon::kInformation);
      }
      break;
    }
    case SelectionMode::kExternalFile: {
      FileDialogOptions o;
      o.filter = "*.*|*.*";
      o.start_folder = ctx_.config().work_folder;
      std::optional<std::string> path = ui_.OpenFile(o);
      if (!path) return false;
      std::string bytes;
      if (!ReadFilePrefix(*path, kMaxMfnFileBytes + 1, &bytes)) {
        ui_.Message(*path + "\n" + ctx_.Msg(1, 9), "Bramble", Buttons::kOk, Icon::kError);
        return false;
      }
      sel.external_file = *path;
      outcome = ParseMfnFile(bytes, sel.from, sel.to);
      if (outcome.repeats_dropped) {
        ui_.Message(ctx_.Msg(23, 2), "Bramble", Buttons::kOk, Icon::kInformation);
      }
      break;
    }
  }
  sel.list = std::move(outcome.accepted);
  sel.count = static_cast<int32_t>(sel.list.size());
  if (sel.list.empty()) {
    ui_.Message(ctx_.Msg(5, 6), "Bramble", Buttons::kOk, Icon::kWarning);
    return false;
  }
  if (outcome.skipped) ui_.Message(ctx_.Msg(5, 7), "Bramble", Buttons::kOk, Icon::kInformation);
  return true;
}

bool RecordSetSelector::BuildSearchSet() {
  MfnSelection& sel = ctx_.selection();
  sel.list.clear();
  sel.count = 0;
  if (!controls_.search_radio_enabled) {
    ui_.Message(ctx_.Msg(39, 10), "Bramble", Buttons::kOk, Icon::kWarning);
    return false;
  }
  // The one conversion of the typed text; the converted text has as many
  // bytes as the typed one had characters, so positions match what was typed.
  std::string stored = controls_.search_text;
  ToStorage(stored);
  SearchSyntaxError syntax;
  if (!SearchParser::Parse(stored, &syntax)) {
    ui_.Message(ctx_.Msg(syntax.message) + " " + Decimal(syntax.position), "Bramble",
                Buttons::kOk, Icon::kWarning);
    return false;
  }
  RememberSearch(controls_.search_text);
  if (!pending_told_) {
    const int32_t pending = ctx_.db().PendingIndexUpdates();
    if (pending > 0) {
      pending_told_ = true;
      ui_.Message(ctx_.Msg(39, 9) + " " + Decimal(pending), "Bramble", Buttons::kOk,
                  Icon::kInformation);
    }
  }
  RecordSearch search(ctx_.db());
  SearchOutcome found = search.Run(stored);
  switch (found.end) {
    case SearchOutcome::End::kFound:
      break;
    case SearchOutcome::End::kSyntaxError:  // checked above
    case SearchOutcome::End::kNoInvertedFile:
      ui_.Message(ctx_.Msg(39, 10), "Bramble", Buttons::kOk, Icon::kWarning);
      return false;
    case SearchOutcome::End::kReadFailed:
      ui_.Message(ctx_.Msg(32, 8) + "\n" + CDbSession::ResultText(found.engine_result),
                  "Bramble", Buttons::kOk, Icon::kError);
      return false;
  }
  sel.list = std::move(found.mfns);
  sel.count = static_cast<int32_t>(sel.list.size());
  if (sel.list.empty()) {
    // Nothing found is an answer, not a fault: told, and no set is loaded.
    ui_.Message(ctx_.Msg(5, 6), "Bramble", Buttons::kOk, Icon::kInformation);
    return false;
  }
  return true;
}

void RecordSetSelector::RememberSearch(const std::string& text) {
  constexpr size_t kKept = 10;
  auto same = std::find(search_history_.begin(), search_history_.end(), text);
  if (same != search_history_.end()) search_history_.erase(same);
  search_history_.insert(search_history_.begin(), text);
  if (search_history_.size() > kKept) search_history_.resize(kKept);
}

bool RecordSetSelector::BuildWorksheetSet(const std::vector<std::string>& initial) {
  if (!DatabaseOpen()) return false;
  MfnSelection& sel = ctx_.selection();
  if (!TakeCondition()) return sel.loaded;
  const int rows = std::max<int>(100, static_cast<int>(initial.size() / 10) + 10);
  std::optional<std::vector<std::string>> lines =
      ui_.Worksheet(ctx_.Msg(4, 3), initial, 10, rows, false);
  if (!lines) return sel.loaded;
  MfnListOutcome outcome = ParseWorksheetLines(std::move(*lines), 1, ctx_.db().LastMfn());
  if (outcome.repeats_dropped) {
    ui_.Message(ctx_.Msg(23, 2), "Bramble", Buttons::kOk, Icon::kInformation);
  }
  sel.list = std::move(outcome.accepted);
  sel.count = static_cast<int32_t>(sel.list.size());
  sel.mode = SelectionMode::kWorksheet;
  from_worksheet_ = true;
  SetStatus(!sel.list.empty());
  controls_.view_list_enabled = !sel.list.empty();
  if (sel.list.empty()) {
    ui_.Message(ctx_.Msg(5, 6), "Bramble", Buttons::kOk, Icon::kWarning);
  } else if (outcome.skipped) {
    ui_.Message(ctx_.Msg(5, 7), "Bramble", Buttons::kOk, Icon::kInformation);
  }
  return sel.loaded;
}

bool RecordSetSelector::CreateWorksheet() { return BuildWorksheetSet({}); }

bool RecordSetSelector::EditWorksheet() {
  std::vector<std::string> initial;
  for (uint32_t mfn : ctx_.selection().list) initial.push_back(std::to_string(mfn));
  return BuildWorksheetSet(initial);
}

bool RecordSetSelector::BrowseMfnFile() {
  if (!DatabaseOpen()) return false;
  MfnSelection& sel = ctx_.selection();
  if (!TakeCondition()) return sel.loaded;
  FileDialogOptions o;
  o.filter = "*.*|*.*";
  o.start_folder = ctx_.config().work_folder;
  std::optional<std::string> path = ui_.OpenFile(o);
  if (!path) return sel.loaded;
  sel.external_file = *path;
  sel.list.clear();
  sel.count = 0;
  sel.mode = SelectionMode::kExternalFile;
  std::string bytes;
  if (!ReadFilePrefix(*path, kMaxMfnFileBytes + 1, &bytes)) {
    SetStatus(false);
    controls_.view_list_enabled = false;
    ui_.Message(*path + "\n" + ctx_.Msg(1, 9), "Bramble", Buttons::kOk, Icon::kError);
    return false;
  }
  MfnListOutcome outcome = ParseMfnFile(bytes, last_from_, last_to_);
  if (outcome.repeats_dropped) {
    ui_.Message(ctx_.Msg(23, 2), "Bramble", Buttons::kOk, Icon::kInformation);
  }
  sel.list = std::move(outcome.accepted);
  sel.count = static_cast<int32_t>(sel.list.size());
  SetStatus(!sel.list.empty());
  controls_.view_list_enabled = !sel.list.empty();
  if (sel.list.empty()) {
    ui_.Message(ctx_.Msg(5, 6), "Bramble", Buttons::kOk, Icon::kWarning);
  } else if (outcome.skipped) {
    ui_.Message(ctx_.Msg(5, 7), "Bramble", Buttons::kOk, Icon::kInformation);
  }
  return sel.loaded;
}

void RecordSetSelector::Clear() {
  if (!DatabaseOpen()) return;
  SelectRange();
  SetStatus(false);
  ctx_.selection().Clear();
  ctx_.selection().list.shrink_to_fit();
  controls_.view_list_enabled = false;
  controls_.from_text = "1";
  controls_.to_text = Decimal(ctx_.db().LastMfn());
}

void RecordSetSelector::ShowLoaded() {
  const MfnSelection& sel = ctx_.selection();
  if (sel.list.empty()) {
    ui_.Message(ctx_.Msg(5, 4), "Bramble", Buttons::kOk, Icon::kInformation);
    return;
  }
  std::string text;
  for (uint32_t mfn : sel.list) text += std::to_string(mfn) + "\r\n";
  ui_.Browse(text);
}

}  // namespace bramble
