// CTomographyPage: the "Tomography" tab page (the database survey).
//
// Two switches and two radio groups set up the survey: "Subfields (HTML
// report)" chooses the HTML report (which carries the subfield table) over
// the plain-text one; "Character frequency" counts every byte value; ASCII /
// ANSI says which codes the frequency table shows; the four label radios
// choose the leading column(s) of the HTML tables (tag; name; name then tag;
// tag then name).  "OK" (message 1.2) hands the settings to RunTomography,
// the same code bramble-cli runs, then shows the text report in a
// CTomographyReportDialog or opens the HTML file in the browser.  The page
// decides nothing about records.
//
// Thread use: the user-interface thread.
#pragma once

#include <QPointer>
#include <array>

#include "analysis/tomography_run.h"
#include "app/gui/tab_page.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace bramble::gui {

class CTomographyReportDialog;

class CTomographyPage final : public CTabPage {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CTomographyPage)

 public:
  // env must outlive the page.
  explicit CTomographyPage(const PageEnv& env, QWidget* parent = nullptr);
  ~CTomographyPage() override;

  void ApplyCaptions() override;

  // The settings as the controls hold them.
  TomographyRequest Request() const;
  // The "OK" button: runs the survey.
  void OnProcess();
  // The help button: brm-tomog.htm of the help folder (19.7 when it fails).
  void OnHelp();
  // The report window of the last text report (null once it is closed).
  CTomographyReportDialog* reportDialog() const;

 private:
  void BuildControls();

  PageEnv m_env;
  QGroupBox* m_optionsGroup = nullptr;
  QGroupBox* m_charsetGroup = nullptr;
  QGroupBox* m_labelsGroup = nullptr;
  QCheckBox* m_subfieldsCheck = nullptr;
  QCheckBox* m_charsCheck = nullptr;
  QRadioButton* m_asciiRadio = nullptr;
  QRadioButton* m_ansiRadio = nullptr;
  std::array<QRadioButton*, 4> m_labelRadios{};
  QButtonGroup* m_labelGroup = nullptr;
  QPushButton* m_processButton = nullptr;
  QToolButton* m_helpButton = nullptr;
  QPointer<CTomographyReportDialog> m_report;
};

}  // namespace bramble::gui
