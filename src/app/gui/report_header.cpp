#include "app/gui/report_header.h"

#include <cstdio>

namespace bramble::gui {

std::string ReportDate(const std::tm& t, const MessageFn& msg) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d %02d:%02d:%02d ", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  const int wday = (t.tm_wday >= 0 && t.tm_wday <= 6) ? t.tm_wday : 0;
  return std::string(buf) + msg(24, wday + 1);
}

std::string SavedTextHeader(const std::string& db_path, const std::tm& t, const MessageFn& msg) {
  return msg(6, 2) + db_path + "\r\n" + msg(6, 3) + "\t\t" + ReportDate(t, msg) + "\r\n\r\n";
}

}  // namespace bramble::gui
