// CInvertedFilePage: the "Inverted File" tab page.
//
// Three groups, each a thin front to Qt-free code of src/invfile:
//   1. Inverted file keys: 'Browse' picks an ".ifp" (shown in the one-cell
//      grid), the 'From - To' boxes give the key range, 'Process' lists the
//      keys posted in more than one record (RunKeyListing).
//   2. Key generation: a print-format key expression, 'Process' runs it over
//      the record set (RunKeyGeneration) against the chosen inverted file or,
//      with none chosen, the database's own.
//   3. Duplicate base: the base name ('Base' box, relative to the work folder,
//      or 'Browse', which starts in the work folder too), 'Create new' / 'Add
//      to existing', the 'Fields' tag list,
//      'Process' builds the base (BuildDuplicateBase), 'List Duplicates'
//      lists shared match keys (ListDuplicates), each MFN with the start of
//      the field named in the box beside it (245 at first; empty: none).
// 'Clear' empties the boxes, the tag list, the grid cell and the inverted file
// path; the key range goes back to its defaults (below and above every key),
// which is what an empty range box means, so a listing after 'Clear' lists
// every key.
//
// Boxes are read when they lose the focus, and all of them again when a
// 'Process' button is pressed, so what the person sees is what runs.  The
// range keys (upper-cased) and the key expression are kept in storage form,
// taken exactly from what was typed (TypedToStorage); 'Process' refuses a
// box whose text the database cannot store (31.1 naming the box, the focus
// sent there) before anything runs.  'Add to existing' is
// enabled only while the base file exists (its path ends in ".mst"); otherwise
// 'Create new' is checked.
//
// Other texts cross the widget boundary through FromDisplay / ToDisplayBytes.
// Thread use: the user-interface thread.
#pragma once

#include <QString>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "app/gui/tab_page.h"
#include "app/typed_input.h"

class QEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QToolButton;

namespace bramble::gui {

class CInvertedFilePage final : public CTabPage {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CInvertedFilePage)

 public:
  // env must outlive the page.
  explicit CInvertedFilePage(const PageEnv& env, QWidget* parent = nullptr);
  ~CInvertedFilePage() override;

  void ApplyCaptions() override;

  // The page's state (tests and the window read it).
  const std::string& invertedFilePath() const { return m_ifpPath; }
  const std::string& fromKey() const { return m_fromKey; }
  const std::string& toKey() const { return m_toKey; }
  const std::string& keyExpression() const { return m_keyExpression; }
  const std::string& basePath() const { return m_basePath; }
  const std::vector<int32_t>& fieldTags() const { return m_tags; }

  // The buttons.
  void OnBrowseInvertedFile();
  void OnListKeys();
  void OnGenerateKeys();
  void OnBrowseBase();
  void OnBuildBase();
  void OnListDuplicates();
  void OnClear();
  // brm-duplic.htm of the help folder (19.7 when it cannot be opened).
  void OnHelp();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BoxLeft(QLineEdit* box);
  void ReadBoxes();
  void ApplyRadioRule();
  // False (the refusal shown, the focus in its box) when one of the boxes
  // holds a text the database cannot store exactly.
  bool TypedTextsStorable(std::initializer_list<std::pair<QLineEdit*, TypedBox>> boxes);

  PageEnv m_env;

  std::string m_ifpPath;
  std::string m_fromKey;
  std::string m_toKey;
  std::string m_keyExpression;
  std::string m_basePath;
  std::vector<int32_t> m_tags;

  QGroupBox* m_keysGroup = nullptr;
  QGroupBox* m_generationGroup = nullptr;
  QGroupBox* m_baseGroup = nullptr;
  QLabel* m_ifpLabel = nullptr;
  QTableWidget* m_ifpGrid = nullptr;
  QPushButton* m_ifpBrowse = nullptr;
  QLabel* m_rangeLabel = nullptr;
  QLineEdit* m_fromEdit = nullptr;
  QLineEdit* m_toEdit = nullptr;
  QPushButton* m_listKeysButton = nullptr;
  QLabel* m_expressionLabel = nullptr;
  QLineEdit* m_expressionEdit = nullptr;
  QPushButton* m_generateButton = nullptr;
  QLabel* m_baseLabel = nullptr;
  QLineEdit* m_baseEdit = nullptr;
  QPushButton* m_baseBrowse = nullptr;
  QRadioButton* m_createRadio = nullptr;
  QRadioButton* m_appendRadio = nullptr;
  QLabel* m_fieldsLabel = nullptr;
  QLineEdit* m_fieldsEdit = nullptr;
  QPushButton* m_buildButton = nullptr;
  QPushButton* m_duplicatesButton = nullptr;
  QLabel* m_excerptLabel = nullptr;
  QLineEdit* m_excerptEdit = nullptr;
  QPushButton* m_clearButton = nullptr;
  QToolButton* m_helpButton = nullptr;
};

}  // namespace bramble::gui
