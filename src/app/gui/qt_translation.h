// Qt's own texts (the Yes/No/Cancel of message boxes, the file dialogs, the
// context menus of text boxes) in the program's language.
//
// The catalogue gives every text the program writes; the buttons and dialogs
// that Qt draws take theirs from Qt's translation files (qtbase_<code>.qm in
// Qt's translations folder, Debian package qt6-translations-l10n).  Without
// such a file for the language, Qt's English texts stay: nothing fails.
// Thread use: the user-interface thread; one translation is installed at a
// time, the previous one removed.
#pragma once

#include <string>

namespace bramble::gui {

// Installs Qt's translation for the two-letter language code (English needs
// none and removes any); true when one is in force afterwards.
bool InstallQtTranslation(const std::string& language);

}  // namespace bramble::gui
