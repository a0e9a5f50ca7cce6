#include "app/gui/record_opener.h"

#include <QEvent>
#include <QMouseEvent>
#include <QObject>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <limits>

namespace bramble::gui {

namespace {

std::function<void(int32_t)>& Opener() {
  static std::function<void(int32_t)> opener;
  return opener;
}

// Opens the MFN under a double-click of the text box it watches.
class DoubleClickOpener final : public QObject {
 public:
  DoubleClickOpener(QPlainTextEdit* view) : QObject(view), m_view(view) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::MouseButtonDblClick || !Opener()) return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QTextCursor at = m_view->cursorForPosition(mouse->position().toPoint());
    const int32_t mfn = MfnNear(at.block().text(), at.positionInBlock());
    (void)watched;
    return mfn > 0 && OpenRecordAt(mfn);
  }

 private:
  QPlainTextEdit* m_view;
};

}  // namespace

void SetRecordOpener(std::function<void(int32_t)> opener) { Opener() = std::move(opener); }

bool OpenRecordAt(int32_t mfn) {
  if (mfn <= 0 || !Opener()) return false;
  // A copy: the opener may unregister itself while it runs.
  const std::function<void(int32_t)> opener = Opener();
  opener(mfn);
  return true;
}

int32_t MfnNear(const QString& line, int column) {
  auto digit = [&](int i) { return i >= 0 && i < line.size() && line[i].isDigit(); };
  int start = -1;
  if (digit(column)) {
    start = column;
  } else if (digit(column - 1)) {
    start = column - 1;  // a click just after the last digit
  }
  if (start >= 0) {
    while (digit(start - 1)) --start;
  } else {
    start = 0;
    while (start < line.size() && (line[start] == u' ' || line[start] == u'\t')) ++start;
    if (!digit(start)) return 0;
  }
  int64_t value = 0;
  for (int i = start; digit(i); ++i) {
    value = value * 10 + (line[i].unicode() - u'0');
    if (value > std::numeric_limits<int32_t>::max()) return 0;
  }
  return static_cast<int32_t>(value);
}

void OpenRecordsOnDoubleClick(QPlainTextEdit* view) {
  view->viewport()->installEventFilter(new DoubleClickOpener(view));
}

}  // namespace bramble::gui
