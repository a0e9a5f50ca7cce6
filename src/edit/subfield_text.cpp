#include "edit/subfield_text.h"

#include "edit/field_text.h"

namespace bramble {
namespace {

std::string Mark(std::string_view code) {
  std::string mark = "^";
  mark.append(code);
  return mark;
}

size_t ContentEnd(const std::string& text, size_t from) {
  size_t end = text.find('^', from);
  return end == std::string::npos ? text.size() : end;
}

}  // namespace

std::optional<std::string> ReplaceSubfields(std::string_view text, std::string_view code,
                                            std::string_view value) {
  if (code.empty()) return std::nullopt;
  const std::string mark = Mark(code);
  std::string t(text);
  size_t at = t.find(mark);
  if (at == std::string::npos) return std::nullopt;
  while (at != std::string::npos) {
    size_t content = at + mark.size();
    size_t end = ContentEnd(t, content);
    t.replace(content, end - content, value);
    at = t.find(mark, content + value.size());
  }
  return t;
}

std::optional<std::string> RemoveSubfields(std::string_view text, std::string_view code) {
  if (code.empty()) return std::nullopt;
  const std::string mark = Mark(code);
  std::string t(text);
  size_t at = t.find(mark);
  if (at == std::string::npos) return std::nullopt;
  while (at != std::string::npos) {
    size_t end = ContentEnd(t, at + 1);
    t.erase(at, end - at);
    at = t.find(mark, at);
  }
  return RemoveEmptySubfields(t);
}

std::optional<std::string> ConvertSubfieldsCase(std::string_view text, std::string_view code,
                                                int mode) {
  if (code.empty()) return std::nullopt;
  const std::string mark = Mark(code);
  std::string t(text);
  size_t at = t.find(mark);
  if (at == std::string::npos) return std::nullopt;
  while (at != std::string::npos) {
    size_t content = at + mark.size();
    size_t end = ContentEnd(t, content);
    // The conversion keeps the length, so the text around stays in place.
    t.replace(content, end - content,
              ConvertCase(std::string_view(t).substr(content, end - content), mode));
    at = t.find(mark, at + 1);
  }
  return t;
}

}  // namespace bramble
