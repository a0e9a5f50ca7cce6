#include "db/conversion_table_file.h"

#include <cstdio>
#include <cstdlib>

#include "db/leading_int.h"

namespace bramble {

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
    (*table)[entry++] = ParseLeadingInt(line);
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
