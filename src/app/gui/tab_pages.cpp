// The seven pages of the main window's tabs.  A page that exists is made
// here; the others are placeholders.  Adding a page is one case below.
#include "app/gui/tab_page.h"
#include "edit/fields_page.h"
#include "invfile/inverted_file_page.h"

namespace bramble::gui {

CTabPage* CreateTabPage(int index, const PageEnv& env, QWidget* parent) {
  switch (index) {
    case kTabFields:
      return new CFieldsPage(env, parent);
    case kTabInvertedFile:
      return new CInvertedFilePage(env, parent);
    default:
      break;
  }
  return new CPlaceholderPage(parent);
}

}  // namespace bramble::gui
