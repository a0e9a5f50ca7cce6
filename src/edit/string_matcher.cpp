#include "edit/string_matcher.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <array>
#include <cstring>

#include "edit/field_text.h"
#include "db/text_conversion.h"

namespace bramble {
namespace {

// Bounds for one match attempt: a pattern that backtracks without end gives
// up here (an error for that occurrence) instead of hanging the run.
constexpr uint32_t kMatchLimit = 1000000;
constexpr uint32_t kDepthLimit = 100000;

struct StorageCase {
  std::array<unsigned char, 256> lower{};
  std::array<unsigned char, 256> flip{};  // the other case, or the byte itself
  std::array<bool, 256> letter{};
  std::array<bool, 256> is_lower{};
};

// The engine's upper-case pairs read the other way round.  The one pair that
// is not a pair both ways (dotless i -> "I", whose lower case is "i") is left
// out, so lowering and the regex tables agree on every byte.
const StorageCase& Case() {
  static const StorageCase t = [] {
    StorageCase c;
    for (int i = 0; i < 256; ++i) c.lower[i] = c.flip[i] = static_cast<unsigned char>(i);
    for (int i = 0; i < 256; ++i) {
      const unsigned char up = StorageToUpper(static_cast<unsigned char>(i));
      if (up == i) continue;
      if (i >= 'a' && i <= 'z') {
        c.lower[up] = static_cast<unsigned char>(i);
      } else if (up >= 0x80) {
        c.lower[up] = static_cast<unsigned char>(i);
      } else {
        continue;
      }
      c.flip[i] = up;
      c.flip[up] = static_cast<unsigned char>(i);
      c.letter[i] = c.letter[up] = true;
      c.is_lower[i] = true;
    }
    // Letters without a partner in CP850: sharp s, y with diaeresis, dotless i.
    for (int i : {0xE1, 0x98, 0xD5}) c.letter[i] = c.is_lower[i] = true;
    return c;
  }();
  return t;
}

// PCRE2's character tables: lower case (256), flipped case (256), ten class
// bitmaps of 32 bytes (space, xdigit, digit, upper, lower, word, graph,
// print, punct, cntrl) and a ctype byte per character.  pcre2_maketables
// makes them for the process locale; the letters are then set from the
// storage code page, so the locale the program runs in cannot change a match.
constexpr size_t kLcc = 0, kFcc = 256, kCbits = 512, kCtypes = 832, kTablesLength = 1088;
constexpr size_t kBitUpper = 96, kBitLower = 128, kBitWord = 160, kBitGraph = 192, kBitPrint = 224;
constexpr uint8_t kCtypeLetter = 0x02, kCtypeLower = 0x04, kCtypeWord = 0x10;

const uint8_t* StorageTables() {
  static const std::array<uint8_t, kTablesLength>* tables = [] {
    const uint8_t* made = pcre2_maketables(nullptr);
    if (made == nullptr) return static_cast<std::array<uint8_t, kTablesLength>*>(nullptr);
    auto* t = new std::array<uint8_t, kTablesLength>;
    std::memcpy(t->data(), made, kTablesLength);
    pcre2_maketables_free(nullptr, made);
    auto& b = *t;
    auto bit = [&b](size_t map, int c) -> bool {
      return b[kCbits + map + c / 8] & (1u << (c % 8));
    };
    // The layout is PCRE2's own and not in its public header: check it on
    // bytes every locale classifies alike before trusting it.
    if (!bit(64, '7') || bit(64, 'a') || !(b[kCtypes + ' '] & 0x01) || !(b[kCtypes + '7'] & 0x08) ||
        b[kLcc + 'Q'] != 'q') {
      delete t;
      return static_cast<std::array<uint8_t, kTablesLength>*>(nullptr);
    }
    const StorageCase& sc = Case();
    auto set = [&b](size_t map, int c, bool on) {
      uint8_t& byte = b[kCbits + map + c / 8];
      byte = on ? (byte | (1u << (c % 8))) : (byte & ~(1u << (c % 8)));
    };
    for (int c = 0; c < 256; ++c) {
      const bool ascii_letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      if (c < 0x80 && !ascii_letter) continue;
      b[kLcc + c] = sc.lower[c];
      b[kFcc + c] = sc.flip[c];
      const bool letter = sc.letter[c];
      if (c >= 0x80) {
        for (size_t map = 0; map < 320; map += 32) set(map, c, false);
        b[kCtypes + c] = 0;
      }
      set(kBitUpper, c, letter && !sc.is_lower[c]);
      set(kBitLower, c, letter && sc.is_lower[c]);
      set(kBitWord, c, letter);
      set(kBitGraph, c, letter);
      set(kBitPrint, c, letter);
      uint8_t& ctype = b[kCtypes + c];
      ctype &= static_cast<uint8_t>(~(kCtypeLetter | kCtypeLower | kCtypeWord));
      if (letter) ctype |= kCtypeLetter | kCtypeWord | (sc.is_lower[c] ? kCtypeLower : 0);
    }
    return t;
  }();
  return tables != nullptr ? tables->data() : nullptr;
}

std::string PcreError(int code) {
  PCRE2_UCHAR buf[256];
  if (pcre2_get_error_message(code, buf, sizeof buf) < 0) return "error " + std::to_string(code);
  return reinterpret_cast<const char*>(buf);
}

}  // namespace

unsigned char StorageToLower(unsigned char c) { return Case().lower[c]; }

std::string StorageLower(std::string_view text) {
  std::string t(text);
  const auto& lower = Case().lower;
  for (char& c : t) c = static_cast<char>(lower[static_cast<unsigned char>(c)]);
  return t;
}

struct StringMatcher::Pcre {
  pcre2_code* code = nullptr;
  pcre2_match_data* data = nullptr;
  pcre2_match_context* context = nullptr;
  ~Pcre() {
    pcre2_match_data_free(data);
    pcre2_match_context_free(context);
    pcre2_code_free(code);
  }
};

StringMatcher::StringMatcher() = default;
StringMatcher::~StringMatcher() = default;

bool StringMatcher::Compile(const std::string& search, bool regex, bool whole_word, bool match_case,
                            std::string* error, int* error_position) {
  regex_ = regex;
  whole_word_ = whole_word;
  match_case_ = match_case;
  pcre_.reset();
  if (!regex) {
    search_ = match_case ? search : StorageLower(search);
    return true;
  }
  pcre2_compile_context* cc = pcre2_compile_context_create(nullptr);
  if (const uint8_t* tables = StorageTables(); tables != nullptr) {
    pcre2_set_character_tables(cc, tables);
  }
  const uint32_t options = match_case ? 0 : PCRE2_CASELESS;
  int code = 0;
  PCRE2_SIZE offset = 0;
  // The pattern as typed is compiled alone first: its error positions are the
  // person's, and only a pattern that stands on its own is wrapped in the
  // word boundaries (an unbalanced ")" could otherwise close the wrapper).
  pcre2_code* compiled = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(search.data()), search.size(),
                                       options, &code, &offset, cc);
  if (compiled != nullptr && whole_word) {
    pcre2_code_free(compiled);
    const std::string wrapped = "\\b(?:" + search + ")\\b";
    compiled = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(wrapped.data()), wrapped.size(), options,
                             &code, &offset, cc);
    offset = offset >= 5 ? offset - 5 : 0;
  }
  pcre2_compile_context_free(cc);
  if (compiled == nullptr) {
    if (error != nullptr) *error = PcreError(code);
    if (error_position != nullptr) *error_position = static_cast<int>(offset) + 1;
    return false;
  }
  pcre_ = std::make_unique<Pcre>();
  pcre_->code = compiled;
  // JIT when the platform has it; the interpreter gives the same matches.
  (void)pcre2_jit_compile(compiled, PCRE2_JIT_COMPLETE);
  pcre_->data = pcre2_match_data_create_from_pattern(compiled, nullptr);
  pcre_->context = pcre2_match_context_create(nullptr);
  pcre2_set_match_limit(pcre_->context, kMatchLimit);
  pcre2_set_depth_limit(pcre_->context, kDepthLimit);
  return true;
}

StringMatch StringMatcher::Find(const std::string& text, size_t scope_begin, size_t scope_end,
                                size_t from) {
  StringMatch m;
  scope_end = std::min(scope_end, text.size());
  if (from < scope_begin || from > scope_end) return m;
  if (!regex_) {
    // The whole scope, not its rest from `from`: whether a byte starts a word
    // depends on the byte before it.
    std::string_view scope = std::string_view(text).substr(scope_begin, scope_end - scope_begin);
    int32_t at;
    if (match_case_) {
      at = FindWordFrom(scope, search_, whole_word_, from - scope_begin);
    } else {
      if (!lowered_valid_ || lowered_begin_ != scope_begin || work_.size() != scope.size()) {
        work_.assign(scope);
        const auto& lower = Case().lower;
        for (char& c : work_) c = static_cast<char>(lower[static_cast<unsigned char>(c)]);
        bytes_lowered_ += work_.size();
        lowered_valid_ = true;
        lowered_begin_ = scope_begin;
      }
      at = FindWordFrom(work_, search_, whole_word_, from - scope_begin);
    }
    if (at < 0) return m;
    m.kind = StringMatch::kFound;
    m.start = scope_begin + static_cast<size_t>(at);
    m.length = search_.size();
    return m;
  }
  if (!pcre_) return m;
  last_subject_ = scope_begin;
  const int rc =
      pcre2_match(pcre_->code, reinterpret_cast<PCRE2_SPTR>(text.data() + scope_begin),
                  scope_end - scope_begin, from - scope_begin, 0, pcre_->data, pcre_->context);
  if (rc == PCRE2_ERROR_NOMATCH) return m;
  if (rc < 0) {
    m.kind = StringMatch::kError;
    m.error = PcreError(rc);
    return m;
  }
  const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(pcre_->data);
  // \K inside a look-ahead can put the start after the end; such a match has
  // no bytes to work on.
  if (ov[1] < ov[0]) return m;
  m.kind = StringMatch::kFound;
  m.start = scope_begin + ov[0];
  m.length = ov[1] - ov[0];
  return m;
}

void StringMatcher::Edited(size_t at, size_t removed, std::string_view inserted) {
  if (!lowered_valid_) return;
  if (at < lowered_begin_ || at - lowered_begin_ > work_.size()) {
    lowered_valid_ = false;
    return;
  }
  const size_t offset = at - lowered_begin_;
  removed = std::min(removed, work_.size() - offset);
  work_.replace(offset, removed, inserted);
  const auto& lower = Case().lower;
  for (size_t i = offset; i < offset + inserted.size(); ++i) {
    work_[i] = static_cast<char>(lower[static_cast<unsigned char>(work_[i])]);
  }
  bytes_lowered_ += inserted.size();
}

std::string StringMatcher::Expand(const std::string& value, const std::string& text) const {
  if (!regex_ || !pcre_ || value.find('$') == std::string::npos) return value;
  const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(pcre_->data);
  const uint32_t pairs = pcre2_get_ovector_count(pcre_->data);
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c != '$' || i + 1 >= value.size()) {
      out += c;
      continue;
    }
    const char next = value[i + 1];
    if (next == '$') {
      out += '$';
      ++i;
    } else if (next >= '0' && next <= '9') {
      const uint32_t g = static_cast<uint32_t>(next - '0');
      if (g < pairs && ov[2 * g] != PCRE2_UNSET && ov[2 * g + 1] >= ov[2 * g]) {
        out.append(text, last_subject_ + ov[2 * g], ov[2 * g + 1] - ov[2 * g]);
      }
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace bramble
