// The seven pages of the program's main window.  A page that exists is made
// here; the others stay placeholders.  Adding a page is one line below.
#include "bramble/program_pages.h"

#include "clean/cleaning_page.h"
#include "edit/fields_page.h"

namespace bramble {

gui::PageFactories ProgramPages() {
  gui::PageFactories pages;
  pages[gui::kTabFields] = [](const gui::PageEnv& env, QWidget* parent) -> gui::CTabPage* {
    return new gui::CFieldsPage(env, parent);
  };
  pages[gui::kTabCleaning] = [](const gui::PageEnv& env, QWidget* parent) -> gui::CTabPage* {
    return new gui::CCleaningPage(env, parent);
  };
  return pages;
}

}  // namespace bramble
