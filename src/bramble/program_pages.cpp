// The seven pages of the program's main window.  A page that exists is made
// here; the others stay placeholders.  Adding a page is one line below.
#include "bramble/program_pages.h"

#include "analysis/tomography_page.h"
#include "clean/cleaning_page.h"
#include "clean/utilities_page.h"
#include "edit/fields_page.h"
#include "edit/strings_page.h"
#include "invfile/inverted_file_page.h"
#include "params/parameter_page.h"

namespace bramble {

gui::PageFactories ProgramPages() {
  gui::PageFactories pages;
  pages[gui::kTabFields] = [](const gui::PageEnv& env, QWidget* parent) -> gui::CTabPage* {
    return new gui::CFieldsPage(env, parent);
  };
  pages[gui::kTabStrings] = [](const gui::PageEnv& env, QWidget* parent) -> gui::CTabPage* {
    return new gui::CStringsPage(env, parent);
  };
  pages[gui::kTabUtilities] = [](const gui::PageEnv& env, QWidget* parent) -> gui::CTabPage* {
    return new gui::CUtilitiesPage(env, parent);
  };
  pages[gui::kTabTomography] = [](const gui::PageEnv& env, QWidget* parent) -> gui::CTabPage* {
    return new gui::CTomographyPage(env, parent);
  };
  pages[gui::kTabParameters] = [](const gui::PageEnv& env, QWidget* parent) -> gui::CTabPage* {
    return new gui::CParameterPage(env, parent);
  };
  pages[gui::kTabInvertedFile] = [](const gui::PageEnv& env, QWidget* parent) -> gui::CTabPage* {
    return new gui::CInvertedFilePage(env, parent);
  };
  pages[gui::kTabCleaning] = [](const gui::PageEnv& env, QWidget* parent) -> gui::CTabPage* {
    return new gui::CCleaningPage(env, parent);
  };
  return pages;
}

}  // namespace bramble
