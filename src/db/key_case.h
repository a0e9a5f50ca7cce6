// Upper-casing of keys as the inverted file stores them.
//
// The engine upper-cases every key with its case table (storage code page,
// CP850: a-z and the accented letters that have a capital there, unless
// syspar.par names a table of its own) before it stores or looks one up.  A key the program
// compares with stored keys by itself (the last key of a range) must be upper-cased the same way,
// or "garcía" would sort apart from the stored "GARCÍA".
//
// Thread use: the user-interface thread (it may create g_engineApp).
#pragma once

#include <string>

namespace bramble {

// text (storage form) upper-cased with the case table of the program's
// engine application (g_engineApp); same length.
std::string UpperCaseKey(std::string text);

}  // namespace bramble
