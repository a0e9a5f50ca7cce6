// Opens a hostile master / cross-reference file pair, checks it, counts its
// records and reads every MFN: none of it may crash, hang or allocate by a
// count the files cannot back.
#include <cstdint>

#include "engine/database.h"
#include "engine/database_checker.h"
#include "store_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string base = store_fuzz::WriteDatabase(data, size);
  vardo::Database db;
  db.set_lock_timeout_ms(0);
  if (!db.Open(base).ok()) return 0;
  vardo::CheckReport report;
  (void)vardo::DatabaseChecker(&db).Check(&report);
  (void)db.Stats();
  vardo::Result<vardo::ControlRecord> c = db.ReadControl();
  if (!c.ok()) return 0;
  vardo::Database::ReadResult rr;
  for (int32_t mfn = 1; mfn < c->next_mfn && mfn <= 4096; ++mfn) (void)db.Read(mfn, false, &rr);
  uint64_t snapshot = 0;
  (void)db.PendingMfns(&snapshot);
  return 0;
}
