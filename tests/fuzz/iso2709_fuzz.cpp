// Fuzz target of the ISO 2709 reader (both layouts, UTF-8 decoding) and of the
// writer on whatever the reader accepts.  Checked on every input:
//   - items move strictly forward and stay inside the input;
//   - a record the reader accepts, written again, reads back with the same
//     fields, less exactly those the writer says it cannot hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/iso2709/iso2709_reader.h"
#include "engine/iso2709/iso2709_writer.h"

using namespace vardo;
using namespace vardo::iso2709;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<Field> Writable(const Iso2709Writer& w, const Record& r) {
  std::vector<Field> out;
  for (const Field& f : r.fields) {
    if (f.tag != kLeaderTag && w.FieldProblem(f) == nullptr) out.push_back(f);
  }
  return out;
}

void RoundTrip(Layout layout, const Record& r) {
  Iso2709Writer writer(layout);
  std::string image;
  int skipped = 0;
  if (!writer.Append(r, &image, &skipped).ok()) return;  // too large: refused as a whole
  Iso2709Reader reader(layout, TextDecoder());
  Iso2709Reader::Item item;
  Check(reader.ParseRecord(image.data(), image.size(), &item).ok());
  std::vector<Field> back;
  for (const Field& f : item.record.fields) {
    if (f.tag != kLeaderTag) back.push_back(f);
  }
  std::vector<Field> want = Writable(writer, r);
  if (layout == Layout::kMarc) {
    // The MARC layout adds blank indicators to data fields without them (two
    // digits or blanks followed by a subfield, or alone), and puts text before
    // the first subfield into subfield a.
    auto is_ind = [](char c) { return c == ' ' || (c >= '0' && c <= '9'); };
    for (Field& f : want) {
      const std::string& t = f.text;
      const bool ind =
          t.size() >= 2 && is_ind(t[0]) && is_ind(t[1]) && (t.size() == 2 || t[2] == '^');
      if (f.tag < 10 || ind) continue;
      const bool subfield_first = t.size() >= 2 && t[0] == '^';
      f.text.insert(0, subfield_first ? "  " : "  ^a");
    }
  }
  Check(back == want);
  Check(item.record.status == r.status);
}

void Run(std::string_view data, Layout layout, TextDecoder decoder) {
  Iso2709Reader reader(layout, decoder);
  reader.OpenMemory(data);
  Iso2709Reader::Item item;
  uint64_t last_end = 0;
  for (int guard = 0;; ++guard) {
    Check(guard <= static_cast<int>(data.size()) + 1);
    Check(reader.Next(&item).ok());
    if (item.kind == Iso2709Reader::Item::Kind::kEnd) break;
    Check(item.offset >= last_end && item.length > 0 && item.offset + item.length <= data.size());
    last_end = item.offset + item.length;
    if (item.kind == Iso2709Reader::Item::Kind::kRecord && decoder.is_identity()) {
      RoundTrip(layout, item.record);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Run(input, Layout::kPlain, TextDecoder());
  Run(input, Layout::kMarc, TextDecoder());
  Run(input, Layout::kMarc, TextDecoder(TextDecoder::Encoding::kUtf8));
  return 0;
}
