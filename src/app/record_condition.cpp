#include "app/record_condition.h"

#include <algorithm>

#include "db/db_session.h"

namespace bramble {

namespace {

constexpr char kIfOpen[] = "if ";
constexpr char kIfClose[] = " then '1' fi";

}  // namespace

RecordCondition::RecordCondition(std::string text) : text_(std::move(text)) {}

int32_t RecordCondition::Compile(CDbSession& db) {
  compiled_ = false;
  format_.clear();
  if (text_.empty()) {
    compiled_ = true;
    return 0;
  }
  const std::string wrapped = kIfOpen + text_ + kIfClose;
  const int32_t as_condition = db.CompileFormat(wrapped);
  if (as_condition == 0) {
    format_ = wrapped;
    compiled_ = true;
    return 0;
  }
  const int32_t as_format = db.CompileFormat(text_);
  if (as_format == 0) {
    format_ = text_;
    compiled_ = true;
    return 0;
  }
  if (as_condition < 0) return as_condition;
  if (as_format < 0) return as_format;
  // Both readings fail: the one that read further is the more likely meant.
  // A position inside the wrapping is given as the nearest end of the text.
  const int32_t length = static_cast<int32_t>(text_.size());
  const int32_t in_condition =
      std::clamp(as_condition - static_cast<int32_t>(sizeof kIfOpen - 1), 1, length + 1);
  return std::max(in_condition, std::min(as_format, length + 1));
}

RecordCondition::Verdict RecordCondition::Selects(CDbSession& db, std::string* why) const {
  if (!compiled_) {
    if (why) *why = "condition not compiled";
    return Verdict::kFailed;
  }
  if (text_.empty()) return Verdict::kSelected;
  std::string out;
  if (db.RunFormat(format_, &out) < 0) {
    if (why) *why = out;
    return Verdict::kFailed;
  }
  return OutputSelects(out) ? Verdict::kSelected : Verdict::kNotSelected;
}

bool RecordCondition::OutputSelects(const std::string& output) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t b = 0, e = output.size();
  while (b < e && blank(output[b])) ++b;
  while (e > b && blank(output[e - 1])) --e;
  if (b == e) return false;
  return !(e - b == 1 && output[b] == '0');
}

}  // namespace bramble
