// The seven pages of the main window's tabs.  A page that exists is made
// here; the others are placeholders.  Adding a page is one case below.
#include "app/gui/tab_page.h"

namespace bramble::gui {

CTabPage* CreateTabPage(int index, const PageEnv& env, QWidget* parent) {
  (void)env;
  switch (index) {
    default:
      break;
  }
  return new CPlaceholderPage(parent);
}

}  // namespace bramble::gui
