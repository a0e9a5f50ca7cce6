#include "clean/translator_session.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/display_utf8.h"
#include "app/run_history.h"
#include "app/run_log.h"
#include "app/ui.h"
#include "clean/translator_names.h"
#include "db/leading_int.h"

namespace bramble {

namespace {

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec) && !ec;
}

}  // namespace

TranslatorSession::TranslatorSession(AppContext& ctx, Ui& ui) : ctx_(ctx), ui_(ui) {}

TranslatorSession::~TranslatorSession() {
  if (destination_open_) destination_.UnlockRecord();
  // Closed without OK or Cancel: what was written stays.
  EndHistory(RunOutcome::kCompleted);
}

int32_t TranslatorSession::WriteDestination(int32_t mfn, bool unlock) {
  if (!history_ && !history_off_) {
    history_ = std::make_unique<RunHistory>(RunHistory::PathFor(destination_path_));
    RunStart start;
    start.start_time = static_cast<int64_t>(std::time(nullptr));
    start.computer = ComputerName();
    start.label = Cp1252ToUtf8(ctx_.Msg(2, 1));
    start.options = ctx_.run_origin();
    switch (history_->BeginRun(destination_, start)) {
      case RunHistory::BeginResult::kStarted:
        break;
      case RunHistory::BeginResult::kStartedSetAside:
        Tell(ctx_.Msg(26, 7) + "\n" + history_->set_aside_path());
        break;
      case RunHistory::BeginResult::kFailed:
        Tell(ctx_.Msg(26, 10) + "\n" + history_->path());
        history_.reset();
        history_off_ = true;
        break;
    }
  }
  HistoryEntry entry;
  if (history_ && mfn > 0) {
    int64_t before = 0;
    if (destination_.ImageOffset(mfn, &before) == 0) entry.before = before;
    if (entry.before > 0 && destination_.CurrentIsDeleted()) entry.flags |= kEntryBeforeDeleted;
  }
  const int32_t rc = destination_.WriteRecord(unlock);
  if (rc < 0 || !history_) return rc;
  entry.mfn = mfn > 0 ? mfn : destination_.LastMfn();
  int64_t after = 0;
  if (destination_.ImageOffset(entry.mfn, &after) != 0 || after <= 0 || after == entry.before) {
    return rc;
  }
  entry.after = after;
  // Each entry on disk at once: a save is one click, and the history is
  // then complete whenever the translator is left.
  if (!history_->Append(entry) || !history_->Flush()) {
    Tell(ctx_.Msg(26, 10) + "\n" + history_->path());
    history_.reset();
    history_off_ = true;
  }
  return rc;
}

void TranslatorSession::EndHistory(RunOutcome outcome) {
  if (history_) history_->EndRun(outcome);
  history_.reset();
  history_off_ = false;
}

void TranslatorSession::SetTablePaths(const std::string& origin, const std::string& destination,
                                      const std::string& save) {
  origin_table_path_ = origin;
  destination_table_path_ = destination;
  save_table_path_ = save;
}

void TranslatorSession::Tell(const std::string& text) {
  ui_.Message(text, ctx_.Msg(2, 1), Buttons::kOk, Icon::kWarning);
}

std::string TranslatorSession::MasterCopy() const { return MasterBackupPath(destination_path_); }
std::string TranslatorSession::XrefCopy() const { return XrefBackupPath(destination_path_); }

std::optional<std::string> TranslatorSession::AskMasterFile() {
  FileDialogOptions o;
  o.filter = "Master Files (*.mst)|*.mst||";
  o.default_ext = "mst";
  o.start_folder = ctx_.config().config_folder;
  return ui_.OpenFile(o);
}

bool TranslatorSession::LoadTable(TranslatorTables::Which which, const std::string& path) {
  if (tables_.Load(which, path)) return true;
  Tell(path + "\n" + ctx_.Msg(38, 2));
  return false;
}

bool TranslatorSession::ChooseOrigin(const std::string& preset) {
  if (!LoadTable(TranslatorTables::Which::kOrigin, origin_table_path_)) return false;
  std::string path = preset;
  if (path.empty()) {
    std::optional<std::string> chosen = AskMasterFile();
    if (!chosen) return false;
    path = *chosen;
  }
  if (!IsMessageDatabaseName(path)) {
    Tell(ctx_.Msg(26, 4));
    return false;
  }
  // The destination belongs to the origin it was chosen against; it is kept
  // as it stands (as OK would), and another one is chosen for the new origin.
  if (destination_open_) {
    SaveIfWanted();
    SettleDestination();
  }
  origin_.Close();
  origin_open_ = false;
  rows_.clear();
  if (!FileExists(path) || origin_.Open(DatabaseStem(path)) < 0) {
    Tell(path + "\n" + ctx_.Msg(38, 3));
    return false;
  }
  origin_path_ = path;
  origin_open_ = true;
  last_mfn_ = origin_.LastMfn();
  if (mfn_ < 1 || mfn_ > last_mfn_) mfn_ = 1;
  ShowRecord(mfn_);
  return true;
}

bool TranslatorSession::ChooseDestination() {
  if (!origin_open_) return false;
  if (!LoadTable(TranslatorTables::Which::kDestination, destination_table_path_) ||
      !LoadTable(TranslatorTables::Which::kSave, save_table_path_)) {
    return false;
  }
  std::optional<std::string> chosen = AskMasterFile();
  if (!chosen) return false;
  if (!IsMessageDatabaseName(*chosen)) {
    Tell(ctx_.Msg(26, 4));
    return false;
  }
  if (SameFile(*chosen, origin_path_)) {
    Tell(ctx_.Msg(38, 5));
    return false;
  }
  if (destination_open_) {
    SaveIfWanted();
    SettleDestination();
  }
  if (!OpenExistingDestination(*chosen)) return false;
  destination_label_ = *chosen;
  FillDestination();
  return true;
}

bool TranslatorSession::OpenExistingDestination(const std::string& path) {
  if (!FileExists(path) || destination_.Open(DatabaseStem(path)) < 0) {
    Tell(path + "\n" + ctx_.Msg(38, 3));
    return false;
  }
  destination_path_ = path;
  if (destination_.TakeBackup(MasterCopy(), XrefCopy()) != 0) {
    destination_.Close();
    destination_path_.clear();
    Tell(path + "\n" + ctx_.Msg(38, 4));
    return false;
  }
  destination_open_ = true;
  destination_new_ = false;
  modified_ = false;
  return true;
}

bool TranslatorSession::NewLanguage() {
  if (!origin_open_) return false;
  if (!LoadTable(TranslatorTables::Which::kDestination, destination_table_path_) ||
      !LoadTable(TranslatorTables::Which::kSave, save_table_path_)) {
    return false;
  }
  // Cancel of the code dialog cancels: nothing is closed, made or changed.
  std::optional<std::string> code = ui_.InputNumber();
  if (!code) return false;
  if (!IsLanguageCode(*code)) {
    Tell(ctx_.Msg(38, 1));
    return false;
  }
  const std::string path = NewLanguagePath(origin_path_, *code);
  if (SameFile(path, origin_path_)) {
    Tell(ctx_.Msg(38, 5));
    return false;
  }
  if (destination_open_) {
    SaveIfWanted();
    SettleDestination();
  }
  if (FileExists(path)) {
    if (!OpenExistingDestination(path)) return false;
  } else {
    if (destination_.CreateMasterFile(DatabaseStem(path)) < 0) {
      destination_.Close();
      DeleteNewDestinationFiles(path);
      Tell(path + "\n" + ctx_.Msg(38, 7));
      return false;
    }
    destination_path_ = path;
    destination_open_ = true;
    destination_new_ = true;
    modified_ = false;
  }
  // As many records as the origin, so that every origin record has its
  // partner (an existing database only gains empty records at its end).
  if (!AppendEmptyRecords(last_mfn_)) {
    Tell(path + "\n" + ctx_.Msg(38, 7));
    if (destination_new_) {
      RevertDestination();
      return false;
    }
  }
  destination_label_ = FileNameOf(path);
  FillDestination();
  return true;
}

bool TranslatorSession::AppendEmptyRecords(int32_t up_to) {
  int32_t last = destination_.LastMfn();
  while (last < up_to) {
    if (destination_.NewRecord() < 0 || WriteDestination(0, false) < 0) return false;
    destination_.UnlockRecord();
    const int32_t now = destination_.LastMfn();
    if (now <= last) return false;
    last = now;
  }
  return true;
}

void TranslatorSession::ShowRecord(int32_t mfn) {
  rows_.clear();
  mfn_ = mfn;
  if (!origin_open_) return;
  if (origin_.ReadRecord(mfn, false) == 0) {
    const int32_t count = origin_.FieldCount();
    for (int32_t pos = 1; pos <= count; ++pos) {
      TranslatorRow row;
      if (origin_.GetFieldAtRaw(mfn, pos, &row.origin_stored, &row.tag) < 0) break;
      row.origin_shown = tables_.OriginToScreen(row.origin_stored);
      rows_.push_back(std::move(row));
    }
  }
  FillDestination();
}

void TranslatorSession::FillDestination() {
  for (TranslatorRow& row : rows_) {
    row.destination_shown.clear();
    row.pending.reset();
  }
  if (!destination_open_) return;
  // Beyond the destination's last record (or on one that cannot be read) the
  // buffer holds an empty record: the column is empty and Save makes it.
  if (destination_.ReadRecord(mfn_, false) != 0) destination_.NewRecord();
  for (TranslatorRow& row : rows_) {
    std::string stored;
    if (destination_.GetFieldRaw(row.tag, 1, &stored) <= 0) stored.clear();
    row.destination_shown = tables_.DestinationToScreen(stored);
  }
}

void TranslatorSession::SetCell(size_t row, const std::string& shown) {
  if (!destination_open_ || row >= rows_.size()) return;
  rows_[row].destination_shown = shown;
  rows_[row].pending = tables_.ScreenToDestination(shown);
  modified_ = true;
}

void TranslatorSession::CopyRow(size_t row) {
  if (!destination_open_ || row >= rows_.size()) return;
  TranslatorRow& r = rows_[row];
  r.pending = tables_.CopyToDestination(r.origin_stored, r.origin_shown);
  r.destination_shown = r.origin_shown;
  modified_ = true;
}

void TranslatorSession::CopyAll() {
  for (size_t i = 0; i < rows_.size(); ++i) CopyRow(i);
}

void TranslatorSession::ClearCell(size_t row) {
  if (!destination_open_ || row >= rows_.size()) return;
  rows_[row].destination_shown.clear();
  rows_[row].pending = std::string();
  modified_ = true;
}

bool TranslatorSession::Save() {
  if (!destination_open_) return false;
  int32_t status = destination_.ReadRecord(mfn_, true);
  if (status == -1 && AppendEmptyRecords(mfn_)) status = destination_.ReadRecord(mfn_, true);
  int32_t r = status == 0 ? 0 : -1;
  if (r == 0) {
    // The texts the record will hold, row by row, to find the last filled
    // position: an empty one before it becomes one blank.
    std::vector<std::string> current(rows_.size());
    size_t filled_end = 0;
    for (size_t i = 0; i < rows_.size(); ++i) {
      if (destination_.GetFieldRaw(rows_[i].tag, 1, &current[i]) <= 0) current[i].clear();
      const std::string& text = rows_[i].pending ? *rows_[i].pending : current[i];
      if (!text.empty()) filled_end = i + 1;
    }
    for (size_t i = 0; i < rows_.size() && r >= 0; ++i) {
      const TranslatorRow& row = rows_[i];
      std::string text = row.pending ? *row.pending : current[i];
      if (text.empty() && i + 1 < filled_end) text = " ";
      if (!row.pending && text == current[i]) continue;
      if (!text.empty()) {
        r = destination_.ReplaceOccRaw(row.tag, 1, text);
      } else if (!current[i].empty()) {
        r = destination_.DeleteField(row.tag, 1);
      }
    }
    if (r >= 0) r = WriteDestination(mfn_, true);
  }
  if (r < 0) {
    destination_.UnlockRecord();
    Tell(ctx_.Msg(38, 6) + " " + std::to_string(mfn_));
    return false;
  }
  modified_ = false;
  FillDestination();
  return true;
}

void TranslatorSession::SaveIfWanted() {
  if (modified_ && destination_open_ &&
      ui_.Message(ctx_.Msg(2, 5), ctx_.Msg(2, 1), Buttons::kYesNo, Icon::kQuestion) ==
          Answer::kYes) {
    Save();
  }
  modified_ = false;
}

void TranslatorSession::Move(int32_t mfn) {
  SaveIfWanted();
  ShowRecord(mfn);
}

void TranslatorSession::GoFirst() {
  if (origin_open_ && mfn_ != 1) Move(1);
}

void TranslatorSession::GoLast() {
  if (origin_open_ && mfn_ != last_mfn_ && last_mfn_ > 0) Move(last_mfn_);
}

void TranslatorSession::GoNext() {
  if (!origin_open_) return;
  if (mfn_ >= last_mfn_) {
    Tell(ctx_.Msg(2, 4));
    return;
  }
  Move(mfn_ + 1);
}

void TranslatorSession::GoPrevious() {
  if (!origin_open_) return;
  if (mfn_ <= 1) {
    Tell(ctx_.Msg(2, 3));
    return;
  }
  Move(mfn_ - 1);
}

void TranslatorSession::GoTo(const std::string& typed) {
  if (!origin_open_) return;
  const int32_t mfn = ParseLeadingInt(typed);
  if (mfn == mfn_) return;
  if (mfn < 1) {
    Tell(ctx_.Msg(2, 3));
  } else if (mfn > last_mfn_) {
    Tell(ctx_.Msg(2, 4));
  } else {
    Move(mfn);
  }
}

void TranslatorSession::SettleDestination() {
  if (!destination_open_) return;
  destination_.UnlockRecord();
  if (!destination_new_) destination_.DeleteBackup(MasterCopy(), XrefCopy());
  EndHistory(RunOutcome::kCompleted);
  CloseDestination();
}

void TranslatorSession::CloseDestination() {
  destination_.Close();
  destination_open_ = false;
  destination_new_ = false;
  modified_ = false;
  destination_path_.clear();
  destination_label_.clear();
  for (TranslatorRow& row : rows_) {
    row.destination_shown.clear();
    row.pending.reset();
  }
}

void TranslatorSession::DeleteNewDestinationFiles(const std::string& path) {
  std::remove(path.c_str());
  std::remove(XrefPath(path).c_str());
  std::remove(RunHistory::PathFor(path).c_str());
}

bool TranslatorSession::Ok() {
  if (modified_ && destination_open_) {
    const Answer a = ui_.Message(ctx_.Msg(2, 5), ctx_.Msg(2, 1), Buttons::kYesNo, Icon::kQuestion);
    // A record that cannot be written keeps the window open with its texts.
    if (a == Answer::kYes && !Save()) return false;
  }
  SettleDestination();
  origin_.Close();
  origin_open_ = false;
  return true;
}

void TranslatorSession::Cancel() {
  origin_.Close();
  origin_open_ = false;
  RevertDestination();
}

void TranslatorSession::RevertDestination() {
  if (!destination_open_) return;
  destination_.UnlockRecord();
  if (destination_new_) {
    const std::string path = destination_path_;
    EndHistory(RunOutcome::kRestored);
    destination_.ReleaseMasterFile();
    CloseDestination();
    DeleteNewDestinationFiles(path);
    return;
  }
  // The engine writes the copies back into the live files while this session
  // is attached; it refuses while anyone else has the database open, and the
  // copies then stay where the person is told they are.
  const int32_t rc = destination_.RestoreBackup(MasterCopy(), XrefCopy());
  EndHistory(rc == 0 ? RunOutcome::kRestored : RunOutcome::kNotRestored);
  if (rc == 0) {
    destination_.DeleteBackup(MasterCopy(), XrefCopy());
  } else {
    const MessageId why = CDbSession::IsInUse(rc) ? MessageId{29, 2} : MessageId{29, 3};
    ui_.Message(MasterCopy() + "\n" + XrefCopy() + "\n" + ctx_.Msg(why), ctx_.Msg(2, 1),
                Buttons::kOk, Icon::kError);
  }
  CloseDestination();
}

}  // namespace bramble
