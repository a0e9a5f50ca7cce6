// EditPageFrame: the frame the two pages of global changes (Fields and
// Strings) share.  On the left a titled box with one radio button per
// operation, numbered from 1 in a button group; on the right the "prompt"
// box and the page's own boxes; across the bottom of the page the help
// button at the left, Preview (preview_button.h) and OK at the right.
//
// Build makes the two boxes, LayOut (called once the page has made its own
// controls) the two buttons, so the focus moves through the page's boxes
// before it reaches them; LayOut also sets the page's layout.  The widgets
// are children of the page, named after its prefix: <prefix>Operation<n>,
// <prefix>PromptCheck, <prefix>OkButton, <prefix>PreviewButton and
// <prefix>HelpButton.  Captions
// and connections stay with the page.
// Thread use: the user-interface thread.
#pragma once

#include <QString>
#include <span>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLayout;
class QPushButton;
class QRadioButton;
class QToolButton;
class QWidget;

namespace bramble::gui {

struct EditPageFrame {
  QGroupBox* operations_box = nullptr;
  QButtonGroup* operations = nullptr;  // ids 1..n, as the radios are numbered
  QGroupBox* prompt_box = nullptr;
  QCheckBox* prompt = nullptr;
  QPushButton* ok = nullptr;
  QPushButton* preview = nullptr;  // follows ok's enabled state
  QToolButton* help = nullptr;
  QString prefix;

  // Fills radios (one per operation) as well.
  static EditPageFrame Build(QWidget* page, const QString& prefix, std::span<QRadioButton*> radios);
  // Makes ok, preview and help and lays the page out; boxes (the page's own controls,
  // placed between the prompt box and the buttons) is taken over.
  void LayOut(QWidget* page, QLayout* boxes);
};

}  // namespace bramble::gui
