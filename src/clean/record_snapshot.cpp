#include "clean/record_snapshot.h"

#include "db/db_session.h"

namespace bramble {

std::vector<SnapshotField> RecordSnapshot::Take(CDbSession& db, int32_t mfn) {
  std::vector<SnapshotField> fields;
  const int32_t count = db.FieldCount();
  fields.reserve(static_cast<size_t>(count > 0 ? count : 0));
  OccShift seen;
  for (int32_t pos = 1; pos <= count; ++pos) {
    SnapshotField f;
    db.GetFieldAtRaw(mfn, pos, &f.text, &f.tag);
    seen.Add(f.tag, 1);
    f.occ = seen.Of(f.tag);
    // The positional read is cut at the program's buffer; a field that fills
    // it is read again whole, so a long field is never cut by a rewrite.
    if (f.text.size() >= static_cast<size_t>(kTextBufferSize - 2)) {
      db.GetFieldRaw(f.tag, f.occ, &f.text);
    }
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
