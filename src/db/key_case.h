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
#include <string_view>

namespace bramble {

// text (storage form) upper-cased with the case table of the program's
// engine application (g_engineApp); same length.
std::string UpperCaseKey(std::string text);

// The key the inverted file keeps for term (storage form), made as the engine
// makes its keys: blanks and tabs at both ends removed, cut to the engine's
// key length of 30 bytes (then blanks at the end removed again), upper-cased
// with the case table above.  "" when nothing is left.  Two texts that the
// index files under one key give the same result here.
std::string IndexKey(std::string_view term);

}  // namespace bramble
