#include "clean/record_snapshot.h"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "db/db_session.h"

namespace bramble {

std::vector<SnapshotField> RecordSnapshot::Take(CDbSession& db, int32_t /*mfn*/) {
  // One walk of the directory, whole texts: reading by position would walk
  // the directory up to each field (quadratic in a record of many fields),
  // and a positional read is cut at the program's buffer.
  std::vector<std::pair<int32_t, std::string>> all;
  db.GetAllFieldsRaw(&all);
  std::vector<SnapshotField> fields;
  fields.reserve(all.size());
  std::unordered_map<int32_t, int32_t> seen;
  for (auto& [tag, text] : all) {
    SnapshotField f;
    f.tag = tag;
    f.occ = ++seen[tag];
    f.text = std::move(text);
    fields.push_back(std::move(f));
  }
  return fields;
}

int32_t OccShift::Of(int32_t tag) const {
  for (const auto& [t, n] : shifts_) {
    if (t == tag) return n;
  }
  return 0;
}

void OccShift::Add(int32_t tag, int32_t delta) {
  for (auto& [t, n] : shifts_) {
    if (t == tag) {
      n += delta;
      return;
    }
  }
  shifts_.emplace_back(tag, delta);
}

}  // namespace bramble
