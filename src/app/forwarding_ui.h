// ForwardingUi: a Ui that hands every call on to another one.
//
// The base for the small adapters that change one thing about a Ui (put the
// run log on disk before anything is shown, turn a refused question into
// "No"): derive, override what differs, and the rest goes through unchanged.
// BeforeShowing runs before every call that shows something to the person or
// asks (all but SetBusy).
//
// Ownership: the inner Ui is borrowed and must outlive this one.
// Thread use: the user-interface thread only.
#pragma once

#include "app/ui.h"

namespace bramble {

class ForwardingUi : public Ui {
 public:
  explicit ForwardingUi(Ui& inner);
  ~ForwardingUi() override;
  ForwardingUi(const ForwardingUi&) = delete;
  ForwardingUi& operator=(const ForwardingUi&) = delete;

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons,
                 Icon icon) override;
  std::optional<std::string> OpenFile(const FileDialogOptions& o) override;
  std::optional<std::string> SaveFile(const FileDialogOptions& o) override;
  int Confirm(const std::string& text, int bold_start, int bold_end,
              const std::string& info) override;
  std::optional<std::string> EditText(const std::string& text, const std::string& info) override;
  std::optional<std::string> EditTypedText(const std::string& utf8,
                                           const std::string& info) override;
  void Browse(const std::string& text) override;
  void ShowText(const std::string& caption, const std::string& db_path,
                const std::string& text) override;
  std::optional<std::vector<std::string>> Worksheet(
      const std::string& title, const std::vector<std::string>& initial, int columns, int rows,
      bool by_column, const std::vector<std::string>& headers = {}) override;
  std::optional<std::string> InputNumber() override;
  bool OpenDocument(const std::string& path) override;
  void SetBusy(bool busy) override;

 protected:
  // Runs before every call but SetBusy; nothing by default.
  virtual void BeforeShowing();
  Ui& inner() { return inner_; }

 private:
  Ui& inner_;
};

}  // namespace bramble
