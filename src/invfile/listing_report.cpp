#include "invfile/listing_report.h"

#include "app/text_report.h"

namespace bramble {

std::string ListingHeader(const MessageTable& messages,
                          const std::vector<std::pair<MessageId, std::string>>& paths,
                          const std::tm& now) {
  std::string out;
  for (const auto& [label, path] : paths) out += messages.Text(label) + "\t\t" + path + "\r\n";
  out += messages.Text(6, 3) + "\t\t" + ReportDate(messages, now) + "\r\n\r\n";
  out += "\r\n\r\n";
  return out;
}

std::tm LocalTimeNow() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  return tm;
}

std::string ReplaceExtension3(const std::string& path, const std::string& ext) {
  if (path.size() < 3) return path + ext;
  return path.substr(0, path.size() - 3) + ext;
}

std::string StripExtension4(const std::string& path) {
  if (path.size() >= 4 && path[path.size() - 4] == '.') return path.substr(0, path.size() - 4);
  return path;
}

}  // namespace bramble
