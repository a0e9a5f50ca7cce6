// The benchmarks' database set-up through the program's own session: a master
// file of n records made by a record generator, and the whole of it chosen as
// the record set, the way a librarian would run an operation over a base.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/message_table.h"
#include "app/mfn_selection.h"
#include "bench_util.h"
#include "db/db_session.h"

namespace bench {

using RecordMaker = std::function<std::vector<std::pair<int, std::string>>(long)>;

// Creates base (.mst, .xrf) holding records 1..n made by make; false, with a
// line on stderr, when the engine refuses.
inline bool MakeDatabase(const std::string& base, long n, const RecordMaker& make = SampleRecord) {
  bramble::CDbSession db;
  if (db.CreateMasterFile(base) != 0 || db.Open(base) != 1) {
    std::fprintf(stderr, "cannot create %s\n", base.c_str());
    return false;
  }
  for (long i = 1; i <= n; ++i) {
    db.NewRecord();
    for (const auto& [tag, text] : make(i)) db.AppendField(tag, text);
    if (db.WriteRecord(true) != 0) {
      std::fprintf(stderr, "write failed at %ld\n", i);
      return false;
    }
  }
  db.Close();
  return true;
}

// The range 1..n as the loaded record set.
inline void SelectAll(bramble::MfnSelection& sel, long n) {
  sel.mode = bramble::SelectionMode::kRange;
  sel.from = 1;
  sel.to = static_cast<int32_t>(n);
  sel.count = static_cast<int32_t>(n);
  sel.loaded = true;
}

// The English labels of a field run's log lines, so that the lines have
// their real length.
inline void SetFieldRunLabels(bramble::MessageTable& messages) {
  messages.Set(13, 3, "Replace text");
  messages.Set(12, 2, "Tag");
  messages.Set(12, 3, "Occurrence");
  messages.Set(12, 6, "Old value");
  messages.Set(12, 5, "New value");
  messages.Set(10, 7, "Record");
}

}  // namespace bench
