#include "invfile/match_key.h"

#include <openssl/evp.h>

#include <array>

namespace bramble {

namespace {

constexpr char kOccurrenceSeparator = '\x1F';
constexpr char kTagSeparator = '\x1E';

// What each Windows-1252 byte leaves in a key text: digits and capital base
// letters; nothing for the rest.
using FoldTable = std::array<const char*, 256>;

FoldTable MakeFoldTable() {
  FoldTable t{};
  for (int i = 0; i < 256; ++i) t[i] = "";
  static const char* const kDigits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
  static const char* const kLetters[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I",
                                         "J", "K", "L", "M", "N", "O", "P", "Q", "R",
                                         "S", "T", "U", "V", "W", "X", "Y", "Z"};
  for (int d = 0; d < 10; ++d) t['0' + d] = kDigits[d];
  for (int l = 0; l < 26; ++l) t['A' + l] = t['a' + l] = kLetters[l];
  struct Fold {
    unsigned char first, last;
    const char* base;
  };
  // Windows-1252 letters with a diacritic, and the ligatures, in both cases.
  static constexpr Fold kFolds[] = {
      {0x83, 0x83, "F"},  {0x8A, 0x8A, "S"},  {0x8C, 0x8C, "OE"}, {0x8E, 0x8E, "Z"},
      {0x9A, 0x9A, "S"},  {0x9C, 0x9C, "OE"}, {0x9E, 0x9E, "Z"},  {0x9F, 0x9F, "Y"},
      {0xC0, 0xC5, "A"},  {0xC6, 0xC6, "AE"}, {0xC7, 0xC7, "C"},  {0xC8, 0xCB, "E"},
      {0xCC, 0xCF, "I"},  {0xD0, 0xD0, "D"},  {0xD1, 0xD1, "N"},  {0xD2, 0xD6, "O"},
      {0xD8, 0xD8, "O"},  {0xD9, 0xDC, "U"},  {0xDD, 0xDD, "Y"},  {0xDE, 0xDE, "TH"},
      {0xDF, 0xDF, "SS"}, {0xE0, 0xE5, "A"},  {0xE6, 0xE6, "AE"}, {0xE7, 0xE7, "C"},
      {0xE8, 0xEB, "E"},  {0xEC, 0xEF, "I"},  {0xF0, 0xF0, "D"},  {0xF1, 0xF1, "N"},
      {0xF2, 0xF6, "O"},  {0xF8, 0xF8, "O"},  {0xF9, 0xFC, "U"},  {0xFD, 0xFD, "Y"},
      {0xFE, 0xFE, "TH"}, {0xFF, 0xFF, "Y"},
  };
  for (const Fold& f : kFolds) {
    for (int b = f.first; b <= f.last; ++b) t[b] = f.base;
  }
  return t;
}

const FoldTable& Folds() {
  static const FoldTable table = MakeFoldTable();
  return table;
}

}  // namespace

std::string NormaliseForMatch(std::string_view display_text) {
  const FoldTable& folds = Folds();
  std::string out;
  out.reserve(display_text.size());
  for (size_t i = 0; i < display_text.size(); ++i) {
    const char c = display_text[i];
    if (c == '^') {
      ++i;  // the subfield code goes with its marker
      continue;
    }
    out += folds[static_cast<unsigned char>(c)];
  }
  return out;
}

void MatchKeyText::BeginTag() {
  if (!first_tag_) text_.push_back(kTagSeparator);
  first_tag_ = false;
  tag_has_occurrence_ = false;
}

void MatchKeyText::AddOccurrence(std::string_view display_text) {
  const std::string normal = NormaliseForMatch(display_text);
  if (normal.empty()) return;
  if (tag_has_occurrence_) text_.push_back(kOccurrenceSeparator);
  tag_has_occurrence_ = true;
  has_content_ = true;
  text_ += normal;
}

std::string MatchKeyOf(const std::string& key_text) {
  return key_text.empty() ? std::string() : Md5Hex(key_text);
}

std::string Md5Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  // EVP_Digest does the whole init/update/final cycle on one context.
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) {
    return std::string();
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 0x0F]);
  }
  return hex;
}

}  // namespace bramble
