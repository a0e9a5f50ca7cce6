#include "app/record_diff.h"

#include <cstdio>

#include "app/app_context.h"
#include "app/display_utf8.h"
#include "db/db_session.h"
#include "db/record_fields.h"
#include "db/text_conversion.h"

namespace bramble {

namespace {

using Fields = std::vector<std::pair<int32_t, std::string>>;

// Above this many field pairs the common subsequence is not worth its table:
// the common head and tail are trimmed and the middle shown as replaced.
constexpr size_t kMaxTableCells = 4u << 20;

void AppendLines(char sign, const Fields& fields, size_t from, size_t to, std::string* out) {
  for (size_t i = from; i < to; ++i) {
    *out += sign;
    *out += FieldLine(fields[i].first, fields[i].second);
    *out += '\n';
  }
}

// The differing lines of a and b, old before new at each place.
std::string FieldDiff(const Fields& a, const Fields& b) {
  size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head &&
         a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) {
    ++tail;
  }
  const size_t n = a.size() - head - tail, m = b.size() - head - tail;
  std::string out;
  if (n == 0 || m == 0 || (n + 1) * (m + 1) > kMaxTableCells) {
    AppendLines('-', a, head, head + n, &out);
    AppendLines('+', b, head, head + m, &out);
    return out;
  }
  // lcs[i][j]: common fields of a[head+i..] and b[head+j..].
  std::vector<uint32_t> lcs((n + 1) * (m + 1), 0);
  auto at = [&](size_t i, size_t j) -> uint32_t& { return lcs[i * (m + 1) + j]; };
  for (size_t i = n; i-- > 0;) {
    for (size_t j = m; j-- > 0;) {
      at(i, j) = a[head + i] == b[head + j] ? at(i + 1, j + 1) + 1
                                            : std::max(at(i + 1, j), at(i, j + 1));
    }
  }
  size_t i = 0, j = 0;
  std::string minus, plus;  // one block of changes: its old lines, then its new ones
  auto flush = [&]() {
    out += minus;
    out += plus;
    minus.clear();
    plus.clear();
  };
  while (i < n || j < m) {
    if (i < n && j < m && a[head + i] == b[head + j]) {
      flush();
      ++i;
      ++j;
    } else if (j < m && (i == n || at(i, j + 1) >= at(i + 1, j))) {
      AppendLines('+', b, head + j, head + j + 1, &plus);
      ++j;
    } else {
      AppendLines('-', a, head + i, head + i + 1, &minus);
      ++i;
    }
  }
  flush();
  return out;
}

}  // namespace

RecordContent CurrentContent(CDbSession& db) {
  RecordContent c;
  c.exists = true;
  c.deleted = db.CurrentIsDeleted();
  RecordFields fields;
  fields.Load(db, /*raw=*/true);
  c.fields.reserve(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    c.fields.emplace_back(fields.Tag(i), std::string(fields.Text(i)));
  }
  return c;
}

std::string FieldLine(int32_t tag, const std::string& stored_text) {
  std::string display = stored_text;
  ToDisplay(display);
  std::string shown;
  shown.reserve(display.size());
  for (unsigned char ch : display) {
    if (ch < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", ch);
      shown += esc;
    } else {
      shown += static_cast<char>(ch);
    }
  }
  return std::to_string(tag) + " " + Cp1252ToUtf8(shown);
}

std::string DiffRecord(const AppContext& ctx, int32_t mfn, const RecordContent& before,
                       const RecordContent& after) {
  if (before == after) return std::string();
  std::string state;
  if (!before.exists && after.exists) {
    state = ctx.Msg(24, 10);
  } else if (after.exists && after.deleted && !before.deleted) {
    state = ctx.Msg(24, 9);
  } else if (before.exists && before.deleted && after.exists && !after.deleted) {
    state = ctx.Msg(29, 9);
  } else if (before.exists && !after.exists) {
    state = ctx.Msg(24, 9);
  }
  std::string out = "MFN " + std::to_string(mfn);
  if (!state.empty()) out += " (" + Cp1252ToUtf8(state) + ")";
  out += '\n';
  out += FieldDiff(before.exists ? before.fields : Fields(), after.exists ? after.fields : Fields());
  return out;
}

}  // namespace bramble
