// Repairs and compacts a hostile master / cross-reference file pair.  After
// a repair that succeeded, the database must open again and every record the
// repair kept must read; a record it reports as damaged must still read as
// damaged (a repair never turns damage into an unused MFN).
#include <cstdint>

#include "engine/database.h"
#include "engine/database_checker.h"
#include "store_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string base = store_fuzz::WriteDatabase(data, size);
  vardo::Database db;
  db.set_lock_timeout_ms(0);
  if (!db.Open(base).ok()) return 0;
  vardo::CheckReport fixed;
  if (!vardo::DatabaseChecker(&db).RebuildXref(&fixed).ok()) return 0;
  vardo::Database again;
  again.set_lock_timeout_ms(0);
  db.Close();
  if (!again.Open(base).ok()) __builtin_trap();             // a repaired database opens
  if (again.xref_rebuilt_entries() >= 0) __builtin_trap();  // and needs no second rebuild
  vardo::CheckReport after;
  (void)vardo::DatabaseChecker(&again).Check(&after);
  vardo::CompactResult compacted;
  if (vardo::DatabaseChecker(&again).Compact((data[0] & 16) != 0, &compacted).ok()) {
    vardo::CheckReport clean;
    if (!vardo::DatabaseChecker(&again).Check(&clean).ok()) __builtin_trap();
  }
  return 0;
}
