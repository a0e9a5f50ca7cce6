#include "db/typed_text.h"

#include "engine/utf8.h"

namespace bramble {

namespace {

// Whether the storage table takes display_byte to a storage byte that reads
// back as that display byte alone (*stored is then that byte).
bool TableCarries(const TextConversionState& state, int display_byte, unsigned char* stored) {
  const auto s = static_cast<unsigned char>(state.storage_table[display_byte] & 0xFF);
  if (s == 0) return false;
  for (int d = 1; d < 256; ++d) {
    if (d != display_byte && static_cast<unsigned char>(state.storage_table[d] & 0xFF) == s) {
      return false;
    }
  }
  if (state.display_table_in_force && (state.display_table[s] & 0xFF) != display_byte) {
    return false;
  }
  *stored = s;
  return true;
}

// The storage byte of one character, or -1.
int StorageByteOf(uint32_t cp, const TextConversionState& state) {
  if (cp == 0) return -1;
  if (!state.storage_table_in_force) return Cp850ByteOf(cp);
  const int d = Cp1252ByteOf(cp);
  unsigned char s = 0;
  if (d <= 0 || !TableCarries(state, d, &s)) return -1;
  return s;
}

}  // namespace

StoredText TypedToStorage(std::string_view utf8, const TextConversionState& state) {
  StoredText out;
  out.bytes.reserve(utf8.size());
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* end = p + utf8.size();
  while (p < end) {
    size_t len = 1;
    const int32_t cp = vardo::DecodeUtf8(p, end, &len);
    p += len;
    const int b = cp < 0 ? -1 : StorageByteOf(static_cast<uint32_t>(cp), state);
    if (b < 0) {
      out.bytes.clear();
      out.unstorable = cp < 0 ? kNotUtf8 : cp;
      return out;
    }
    out.bytes.push_back(static_cast<char>(b));
  }
  return out;
}

StoredText TypedToStorage(std::string_view utf8) { return TypedToStorage(utf8, TextConversion()); }

std::string StorageToTyped(std::string_view stored, const TextConversionState& state) {
  std::string out;
  out.reserve(stored.size() + stored.size() / 4);
  for (char ch : stored) {
    const auto s = static_cast<unsigned char>(ch);
    uint32_t cp = 0;
    if (!state.storage_table_in_force) {
      cp = Cp850CodePoint(s);
    } else if (state.display_table_in_force) {
      cp = s == 0 ? 0 : Cp1252CodePoint(static_cast<unsigned char>(state.display_table[s] & 0xFF));
    } else {
      cp = Cp1252CodePoint(Cp850ToCp1252(s));
    }
    vardo::AppendUtf8(cp, &out);
  }
  return out;
}

std::string StorageToTyped(std::string_view stored) {
  return StorageToTyped(stored, TextConversion());
}

}  // namespace bramble
