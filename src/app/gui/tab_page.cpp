#include "app/gui/tab_page.h"

#include <QLabel>
#include <QVBoxLayout>

namespace bramble::gui {

CTabPage::CTabPage(QWidget* parent) : QWidget(parent) {}
CTabPage::~CTabPage() = default;
void CTabPage::ApplyCaptions() {}
bool CTabPage::LeaveCheck() { return true; }
void CTabPage::DatabaseChanged() {}

CPlaceholderPage::CPlaceholderPage(QWidget* parent) : CTabPage(parent) {
  setObjectName(QStringLiteral("placeholderPage"));
  auto* layout = new QVBoxLayout(this);
  layout->addStretch();
}

CPlaceholderPage::~CPlaceholderPage() = default;

}  // namespace bramble::gui
