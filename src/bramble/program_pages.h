// ProgramPages: the composition root's list of tab pages.
//
// The one place that knows every subsystem's page: bramble_main hands this
// list to CMainWindow, which itself includes no subsystem.  Tests that need a
// page make their own list (or install a page with InstallPage).
#pragma once

#include "app/gui/tab_page.h"

namespace bramble {

// One factory per tab; tabs without a page yet have an empty factory.
gui::PageFactories ProgramPages();

}  // namespace bramble
