#include "app/preview_store.h"

#include "db/db_session.h"

namespace bramble {

void PreviewStore::BeginRecord(CDbSession& db, int32_t mfn) {
  mfn_ = mfn;
  began_ = true;
  written_ = false;
  before_ = CurrentContent(db);
}

int32_t PreviewStore::Write(CDbSession& db, bool unlock) {
  if (!began_) {
    // A work that writes a record it read itself (no frame read before it):
    // what the file holds is the "before".
    began_ = true;
    before_ = RecordContent();
  }
  after_ = CurrentContent(db);
  written_ = true;
  if (unlock) db.UnlockRecord();
  return 0;
}

bool PreviewStore::EndRecord(CDbSession&, int32_t mfn) {
  if (written_ && !(before_ == after_)) {
    ++changed_;
    sink_.RecordChanged(mfn, before_, after_);
  }
  began_ = false;
  written_ = false;
  return true;
}

}  // namespace bramble
