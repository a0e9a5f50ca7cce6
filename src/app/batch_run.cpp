#include "app/batch_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "app/app_context.h"
#include "app/progress.h"
#include "app/run_log.h"
#include "app/ui.h"
#include "db/db_session.h"

namespace bramble {

namespace {

constexpr const char* kCaption = "Bramble";

// Hands every call on to the real Ui after putting the run log on disk, so
// that no box or question can appear while a line is still in a buffer.
class FlushingUi final : public Ui {
 public:
  FlushingUi(Ui& ui, RunLog& log) : ui_(ui), log_(log) {}
  Answer Message(const std::string& text, const std::string& caption, Buttons buttons,
                 Icon icon) override {
    log_.Flush();
    return ui_.Message(text, caption, buttons, icon);
  }
  std::optional<std::string> OpenFile(const FileDialogOptions& o) override {
    log_.Flush();
    return ui_.OpenFile(o);
  }
  std::optional<std::string> SaveFile(const FileDialogOptions& o) override {
    log_.Flush();
    return ui_.SaveFile(o);
  }
  int Confirm(const std::string& text, int bold_start, int bold_end,
              const std::string& info) override {
    log_.Flush();
    return ui_.Confirm(text, bold_start, bold_end, info);
  }
  std::optional<std::string> EditText(const std::string& text, const std::string& info) override {
    log_.Flush();
    return ui_.EditText(text, info);
  }
  void Browse(const std::string& text) override {
    log_.Flush();
    ui_.Browse(text);
  }
  void ShowText(const std::string& caption, const std::string& db_path,
                const std::string& text) override {
    log_.Flush();
    ui_.ShowText(caption, db_path, text);
  }
  std::optional<std::vector<std::string>> Worksheet(const std::string& title,
                                                    const std::vector<std::string>& initial,
                                                    int columns, int rows,
                                                    bool by_column) override {
    log_.Flush();
    return ui_.Worksheet(title, initial, columns, rows, by_column);
  }
  std::optional<std::string> InputNumber() override {
    log_.Flush();
    return ui_.InputNumber();
  }
  bool OpenDocument(const std::string& path) override {
    log_.Flush();
    return ui_.OpenDocument(path);
  }
  void SetBusy(bool busy) override { ui_.SetBusy(busy); }

 private:
  Ui& ui_;
  RunLog& log_;
};

std::string StemOf(const std::string& master_path) {
  return master_path.size() >= 3 ? master_path.substr(0, master_path.size() - 3) : master_path;
}

bool WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// Puts a backup back over the live file: a rename replaces it atomically and
// removes the backup in the same step; a copy is the fallback.
bool PutBack(const std::string& backup, const std::string& live) {
  if (std::rename(backup.c_str(), live.c_str()) == 0) return true;
  if (!CopyFileFast(backup, live)) return false;
  std::remove(backup.c_str());
  return true;
}

}  // namespace

void RecordStep::LogChange(const std::string& rest) {
  log.Append((label_text != nullptr ? *label_text : std::string()) + ": " + std::to_string(mfn) +
             rest);
}

std::string MasterBackupPath(const std::string& master_path) {
  return master_path.empty() ? std::string() : master_path.substr(0, master_path.size() - 1) + "~";
}
std::string XrefBackupPath(const std::string& master_path) { return StemOf(master_path) + "xr~"; }
std::string XrefPath(const std::string& master_path) { return StemOf(master_path) + "xrf"; }

bool CopyFileFast(const std::string& source, const std::string& dest) {
  int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return false;
  }
  int out = ::open(dest.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  off_t left = st.st_size;
  bool use_plain = false;
  while (left > 0) {
    // copy_file_range lets the kernel (or the file system, by reflink) move
    // the bytes without bringing them into this process.
    ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(left), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      use_plain = n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                            errno == EOPNOTSUPP || errno == EPERM);
      if (!use_plain && n < 0) ok = false;
      break;
    }
    left -= n;
  }
  if (ok && use_plain) {
    char buf[1 << 16];
    for (;;) {
      ssize_t n = ::read(in, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ok = false;
        break;
      }
      if (n == 0) break;
      if (!WriteAll(out, buf, static_cast<size_t>(n))) {
        ok = false;
        break;
      }
    }
  }
  // A file that shrank under us would leave a short copy; the size check
  // catches it as well as a short read.
  struct stat after;
  if (ok && (::fstat(out, &after) != 0 || after.st_size != st.st_size)) ok = false;
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (!ok) ::unlink(dest.c_str());
  return ok;
}

BatchRunResult RunBatch(AppContext& ctx, Ui& ui, Progress& progress, const BatchRunParams& params,
                        const RecordWork& work) {
  BatchRunResult result;
  const MfnSelection& sel = ctx.selection();
  if (!params.skip_guards) {
    if (!ctx.database_open()) {
      ui.Message(ctx.Msg(10, 2), kCaption, Buttons::kOk, Icon::kWarning);
      return result;
    }
    if (!sel.loaded) {
      ui.Message(ctx.Msg(5, 4), kCaption, Buttons::kOk, Icon::kWarning);
      return result;
    }
  }
  CDbSession& db = ctx.db();
  const std::string master = ctx.db_path();
  const std::string master_backup = MasterBackupPath(master);
  const std::string xref_backup = XrefBackupPath(master);
  const std::string xref = XrefPath(master);

  RunLog log(ctx.run_log_path(), ctx.db_name());
  FlushingUi run_ui(ui, log);

  if (params.backups) {
    // Closing the files first puts every byte the engine holds on disk, so
    // the copies are of the database as it is.
    db.ReleaseMasterFile();
    if (!CopyFileFast(master, master_backup)) {
      std::remove(master_backup.c_str());
      ui.Message(master_backup + "\n" + ctx.Msg(1, 9), kCaption, Buttons::kOk, Icon::kError);
      return result;
    }
    if (!CopyFileFast(xref, xref_backup)) {
      std::remove(master_backup.c_str());
      std::remove(xref_backup.c_str());
      ui.Message(xref_backup + "\n" + ctx.Msg(1, 9), kCaption, Buttons::kOk, Icon::kError);
      return result;
    }
  }

  const std::string label = ctx.Msg(params.label);
  const std::string record_word =
      params.progress_text == ProgressText::kRecordLabel ? ctx.Msg(10, 7) + " " : std::string();
  const int32_t total = std::max<int32_t>(sel.count, 0);
  ui.SetBusy(true);
  progress.SetTitle(ctx.Msg(1, 8));
  progress.SetRange(0, std::min<int32_t>(total, 100), 1);
  progress.Show();

  auto finish = [&]() {
    log.Close();
    progress.Close();
    ui.SetBusy(false);
  };
  auto log_not_read = [&](int32_t mfn) {
    log.Append(label + ": " + std::to_string(mfn) + " " + ctx.Msg(23, 3));
    ++result.not_read;
  };

  int percent = 0;
  for (int32_t i = 0; i < total; ++i) {
    const int32_t mfn = sel.MfnAt(i);
    if (total <= 100) {
      progress.SetText("\n" + record_word + std::to_string(mfn));
      progress.StepIt();
      progress.Pump(true);
    } else if (static_cast<double>(i) * 100.0 / total > percent) {
      char number[32];
      std::snprintf(number, sizeof number, "%8.0f", static_cast<double>(i) + 1.0);
      progress.SetText("\n" + record_word + number);
      progress.StepIt();
      progress.Pump(true);
      ++percent;
    }
    if (progress.Cancelled()) {
      if (result.steps > 0) db.UnlockRecord();
      log.Close();
      bool restored = true;
      std::string failed;
      if (params.backups) {
        db.ReleaseMasterFile();
        if (!PutBack(master_backup, master)) {
          restored = false;
          failed = master_backup;
        } else if (!PutBack(xref_backup, xref)) {
          restored = false;
          failed = xref_backup;
        }
      }
      result.end = RunEnd::kCancelled;
      result.restored = params.backups && restored;
      progress.Close();
      ui.SetBusy(false);
      if (restored) {
        const MessageId fallback = params.backups ? MessageId{18, 9} : MessageId{20, 1};
        ui.Message(ctx.Msg(params.cancel_message.value_or(fallback)), kCaption, Buttons::kOk,
                   Icon::kInformation);
      } else {
        ui.Message(failed + "\n" + ctx.Msg(1, 9), kCaption, Buttons::kOk, Icon::kError);
      }
      return result;
    }

    ++result.steps;
    bool have_record = false;
    switch (params.read_policy) {
      case ReadPolicy::kPlainThenLocked:
        if (db.ReadRecord(mfn, false) < 0) break;
        // The second read takes the lock; when another program holds it the
        // record is reported as not read rather than changed behind its back.
        have_record = db.ReadRecord(mfn, true) >= 0;
        break;
      case ReadPolicy::kLockedOnce:
        have_record = db.ReadRecord(mfn, true) >= 0;
        break;
      case ReadPolicy::kPlainOnly:
        have_record = db.ReadRecord(mfn, false) >= 0;
        break;
      case ReadPolicy::kByWork:
        have_record = true;
        break;
    }
    StepResult step_result = StepResult::kNext;
    if (!have_record) {
      log_not_read(mfn);
    } else {
      ++result.read;
      RecordStep step{mfn, i, db, log, run_ui};
      step.label_text = &label;
      step_result = work(step);
    }
    if (params.unlock_after_step && params.read_policy != ReadPolicy::kPlainOnly &&
        params.read_policy != ReadPolicy::kByWork) {
      db.UnlockRecord();
    }
    if (step_result == StepResult::kStop) {
      result.end = RunEnd::kStopped;
      if (params.backups && !params.keep_backups_on_stop) {
        std::remove(master_backup.c_str());
        std::remove(xref_backup.c_str());
      }
      finish();
      return result;
    }
  }

  if (params.backups) {
    std::remove(master_backup.c_str());
    std::remove(xref_backup.c_str());
  }
  result.end = RunEnd::kCompleted;
  finish();
  if (params.show_totals) {
    ui.Message(std::to_string(result.read) + " " + ctx.Msg(15, 6) + "\r\n" +
                   std::to_string(result.not_read) + " " + ctx.Msg(18, 10),
               kCaption, Buttons::kOk, Icon::kInformation);
  }
  return result;
}

}  // namespace bramble
