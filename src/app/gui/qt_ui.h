// QtUi: the Ui port on real widgets.
//
// Message boxes, file dialogs and the shared dialogs of the program, all
// modal over the main window.  Texts arrive in display form (Windows-1252)
// and are converted for the widgets here; file paths are not display text:
// they pass in the file system's own encoding (QFile::encodeName).
//
// Filters arrive in the runs' pipe form and are converted (file_filter.h).
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "app/ui.h"

namespace bramble::gui {

class QtUi final : public Ui {
 public:
  // parent: the window the dialogs belong to (may be null).  work_folder gives
  // the current work folder (where the text display's save starts).
  explicit QtUi(QWidget* parent, std::function<std::string()> work_folder = {});
  ~QtUi() override;
  QtUi(const QtUi&) = delete;
  QtUi& operator=(const QtUi&) = delete;

  void SetParent(QWidget* parent);

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

 private:
  std::optional<std::string> FileDialog(const FileDialogOptions& o, bool save);

  QPointer<QWidget> m_parent;
  std::function<std::string()> m_workFolder;
  int m_busy = 0;
};

}  // namespace bramble::gui
