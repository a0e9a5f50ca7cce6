// CProgressWnd: the progress window of every long run.
//
// A small top-level window (130 high, 390 wide or as wide as its title needs,
// title_width.h) with a text line, a bar and a Cancel button, placed where it
// was last closed (QSettings "Settings/X", "Settings/Y") when that spot lies
// on a screen, else centred.  Runs drive it through the
// Progress port; Pump processes pending events, which keeps the window painted
// and is the moment a Cancel click or Esc is noticed.  Cancelling hides the
// window and brings the main window to the front; the run sees Cancelled() at
// its next check.
//
// GoModal makes the window application-modal, so nothing else of the program
// takes input while a run is going on.  Destruction saves the position and
// gives the focus back to the parent.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "app/progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace bramble::gui {

class CProgressWnd final : public QDialog, public Progress {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CProgressWnd)

 public:
  // title: display-form text; empty gives message 1.8.  The window appears
  // at Show (the run calls it once its guards have passed).
  CProgressWnd(QWidget* parent, const std::string& title, bool with_cancel = true,
               bool smooth = true);
  ~CProgressWnd() override;

  void GoModal();

  // Progress port.
  void SetTitle(const std::string& title) override;
  void SetRange(int lower, int upper, int step) override;
  void SetPos(int pos) override;
  void StepIt() override;
  void OffsetPos(int delta) override;
  void SetText(const std::string& text) override;
  void Pump(bool cancel_on_esc) override;
  bool Cancelled() const override;
  // Shows the window modal over the program (GoModal); Close hides it.
  void Show() override;
  void Close() override;

  // The texts as shown, for tests and for the caption re-application.
  QString Text() const;
  int Pos() const;
  int Percent() const;
  void ApplyCaptions();

  // Where the window goes when the saved position is unusable (or none).
  static QPoint Placement(const QPoint& saved, bool has_saved, const QSize& size);

  // The cancel request (Cancel button, Esc while Pump allows it).
  void Cancel();

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void UpdateTitle();
  void SavePosition();

  QLabel* m_text = nullptr;
  QProgressBar* m_bar = nullptr;
  QPushButton* m_cancelButton = nullptr;
  QString m_title;
  int m_lower = 0;
  int m_upper = 100;
  int m_step = 1;
  int m_pos = 0;
  int m_percent = 0;
  bool m_cancelled = false;
  bool m_modal = false;
  bool m_escCancels = true;
  bool m_savePosition = true;
};

}  // namespace bramble::gui
