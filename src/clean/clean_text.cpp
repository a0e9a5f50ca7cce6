#include "clean/clean_text.h"

namespace bramble {
namespace {

bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void TrimRight(std::string& s) {
  size_t end = s.size();
  while (end > 0 && IsWhite(s[end - 1])) --end;
  s.resize(end);
}

}  // namespace

std::string CleanText::TrimSubfieldStart(std::string text) {
  for (size_t p = text.find('^'); p != std::string::npos; p = text.find('^', p + 1)) {
    const size_t from = p + 2;  // after the mark and its code
    if (from >= text.size()) break;
    size_t to = from;
    while (to < text.size() && IsWhite(text[to])) ++to;
    text.erase(from, to - from);
  }
  return text;
}

std::string CleanText::TrimFieldStart(std::string text) {
  size_t from = 0;
  while (from < text.size() && IsWhite(text[from])) ++from;
  text.erase(0, from);
  return text;
}

std::string CleanText::TrimSubfieldEnd(std::string text) {
  // A mark in front makes the text before the first real mark a subfield,
  // so its trailing white space goes as well.
  std::string s = "^*" + text;
  TrimRight(s);
  for (size_t i = 2; i < s.size(); ++i) {
    if (s[i] != '^') continue;
    size_t j = i;
    while (j > 0 && IsWhite(s[j - 1])) --j;
    s.erase(j, i - j);
    i = j;
  }
  return s.substr(2);
}

std::string CleanText::TrimFieldEnd(std::string text) {
  TrimRight(text);
  return text;
}

std::string CleanText::FixImproperSpaces(std::string s) {
  auto drop_blanks_after = [&s](size_t i) {
    size_t to = i + 1;
    while (to < s.size() && s[to] == ' ') ++to;
    s.erase(i + 1, to - i - 1);
  };
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 32 || c > 93) continue;
    if (c == ' ') {
      drop_blanks_after(i);
    } else if (c == '(' || c == '[') {
      // The start of a subfield's content counts as the start of the text:
      // a blank put there would be taken away again by the subfield-start
      // trim, and the two steps would rewrite the field on every run.
      const bool subfield_start = (i >= 2 && s[i - 2] == '^') || (i >= 1 && s[i - 1] == '^');
      if (i > 0 && s[i - 1] != ' ' && !subfield_start) {
        s.insert(i, 1, ' ');
        ++i;
      }
      drop_blanks_after(i);
    } else if (c == ')' || c == ']' || c == ',' || c == '.' || c == ';') {
      // Likewise the end of a subfield counts as the end of the text.
      if (i + 1 < s.size() && s[i + 1] != ' ' && s[i + 1] != '^') s.insert(i + 1, 1, ' ');
      size_t j = i;
      while (j > 0 && s[j - 1] == ' ') --j;
      s.erase(j, i - j);
      i = j;
    }
  }
  return s;
}

std::string CleanText::RemoveControlChars(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 32) out += c;
  }
  return out;
}

std::string CleanText::RemoveEmptySubfields(std::string s) {
  size_t p = s.find('^');
  while (p != std::string::npos) {
    const size_t q = s.find('^', p + 1);
    if (q == std::string::npos) break;
    if (q - p <= 2) {
      s.erase(p, q - p);  // the next mark is now at p: look again from there
    } else {
      p = q;
    }
  }
  if (s.size() > 1 && s[s.size() - 2] == '^') s.resize(s.size() - 2);
  if (s.size() > 1 && s.back() == '^') s.pop_back();
  return s;
}

std::vector<std::string> CleanText::Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  if (separator.empty()) return pieces;
  size_t at = text.find(separator);
  if (at == std::string::npos || at == 0) return pieces;
  size_t from = 0;
  while (at != std::string::npos) {
    pieces.push_back(text.substr(from, at - from));
    from = at + separator.size();
    at = text.find(separator, from);
  }
  pieces.push_back(text.substr(from));
  return pieces;
}

std::optional<std::string> CleanText::Fill(const std::string& text, bool as_indicator, char code) {
  const size_t open = text.find('<');
  if (open == std::string::npos) return std::nullopt;
  const size_t close = text.find('>', open + 1);
  if (close == std::string::npos) return std::nullopt;
  std::string rest = text;
  rest.erase(close, 1);
  rest.erase(open, 1);
  const std::string n = std::to_string(close);
  if (as_indicator) return " " + n + "^a" + rest;
  return rest + "^" + std::string(1, code) + n;
}

}  // namespace bramble
