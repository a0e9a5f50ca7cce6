#include "db/conversion_table_file.h"

#include <cstdio>
#include <cstdlib>

namespace bramble {

namespace {
// The C library's decimal conversion: leading blanks, optional sign, digits up
// to the first other character, 0 without digits; saturated instead of
// overflowing on absurd values.
int32_t AtoiBytes(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\v' || s[i] == '\f' ||
                          s[i] == '\r' || s[i] == '\n')) {
    ++i;
  }
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  int64_t v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    v = v * 10 + (s[i++] - '0');
    if (v > INT32_MAX) v = INT32_MAX;
  }
  return static_cast<int32_t>(neg ? -v : v);
}
}  // namespace

void ParseConversionTable(const std::string& bytes, ConversionTable* table) {
  std::string text = bytes.substr(0, kMaxTableFileBytes) + "\r\n";
  size_t start = 0;
  size_t entry = 0;
  for (size_t lf = text.find('\n'); lf != std::string::npos && entry < table->size();
       lf = text.find('\n', start)) {
    std::string line = text.substr(start, lf - start);
    // Only a carriage return is dropped before the line feed: a file with bare
    // LF line ends keeps every digit of its numbers.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    (*table)[entry++] = AtoiBytes(line);
    start = lf + 1;
  }
}

bool ReadConversionTableFile(const std::string& path, ConversionTable* table) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::string bytes(kMaxTableFileBytes, '\0');
  size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  bytes.resize(n);
  ParseConversionTable(bytes, table);
  return true;
}

}  // namespace bramble
