// Helpers of the inverted-file tool tests: the edit fixture's scratch
// database (opened in a context with the English catalogue) with an inverted
// file built from a select table, and a record set over the whole database.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "app/scripted_ui.h"
#include "edit/edit_fixture.h"

namespace bramble::testing {

class InvfileFixture : public EditFixture {
 protected:
  // Writes fst beside the database and indexes every record with it.
  void Index(const std::string& fst) {
    std::ofstream(base_ + ".fst", std::ios::binary) << fst;
    ASSERT_GE(db().PrepareInvertedFile(base_), 0);
    for (int32_t mfn = 1; mfn <= db().LastMfn(); ++mfn) db().UpdateIndexForRecord(base_, mfn);
  }
  // The record set 1..LastMfn, as the main window's "Accept" leaves it.
  void SelectAll() {
    MfnSelection& s = ctx_.selection();
    s.mode = SelectionMode::kRange;
    s.from = 1;
    s.to = db().LastMfn();
    s.count = s.to;
    s.loaded = true;
  }
  // The report without its header (everything after the two empty lines
  // that end it).
  static std::string Body(const std::string& report) {
    const size_t end = report.find("\r\n\r\n\r\n\r\n");
    return end == std::string::npos ? report : report.substr(end + 8);
  }
  void DeleteRecord(int32_t mfn) {
    ASSERT_EQ(db().ReadRecord(mfn, true), 0);
    db().DeleteRecord();
    ASSERT_GE(db().WriteRecord(true), 0);
  }

  ScriptedProgress progress_;
};

}  // namespace bramble::testing
