#include "app/text_report.h"

#include <cstdio>

#include "app/app_context.h"
#include "app/message_table.h"
#include "app/ui.h"

namespace bramble {

std::string ReportDate(const MessageTable& messages, const std::tm& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.4d%.2d%.2d %.2d:%.2d:%.2d ", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  const int wday = t.tm_wday >= 0 && t.tm_wday <= 6 ? t.tm_wday : 0;
  return buf + messages.Text(24, wday + 1);
}

bool SaveDisplayedText(const std::string& path, const std::string& db_path, const std::string& text,
                       const MessageTable& messages, const std::tm& local_time) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const std::string all = messages.Text(6, 2) + db_path + "\r\n" + messages.Text(6, 3) + "\t\t" +
                          ReportDate(messages, local_time) + "\r\n\r\n" + text;
  bool ok = std::fwrite(all.data(), 1, all.size(), f) == all.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) std::remove(path.c_str());
  return ok;
}

bool SaveTextDisplay(AppContext& ctx, Ui& ui, const std::string& text) {
  FileDialogOptions o;
  o.filter = "TXT Files (*.txt)|*.txt|(*.*)|*.*||";
  o.default_ext = "txt";
  o.start_folder = ctx.config().work_folder;
  std::optional<std::string> path = ui.SaveFile(o);
  if (!path) return false;
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  if (!SaveDisplayedText(*path, ctx.db_path(), text, ctx.messages(), tm)) {
    ui.Message(*path + "\n" + ctx.Msg(1, 9), "Bramble", Buttons::kOk, Icon::kError);
    return false;
  }
  return true;
}

}  // namespace bramble
