// CDbSession::RunFormat: compiles and runs a print format on the current
// record and turns every engine error into a message text.
#include <string>
#include <vector>

#include "db/db_session.h"
#include "db/message_source.h"
#include "engine/vardo.h"

namespace bramble {

int32_t CDbSession::CompileFormat(const std::string& format) {
  return vardo::vardo_compile_format(space_, format.c_str());
}

int32_t CDbSession::RunFormat(const std::string& format, std::string* out) {
  out->clear();
  const int32_t pos = vardo::vardo_compile_format(space_, format.c_str());
  if (pos > 0) {
    *out = DbMessage(17, 1) + " " + std::to_string(pos);
    return -1;
  }
  // The engine compiles a text it already holds for free, so calling this
  // once per record of a run costs one parse in all.
  std::string buffer(static_cast<size_t>(kTextBufferSize), '\0');
  const int32_t r =
      pos < 0 ? pos : vardo::vardo_run_format(space_, 0, buffer.data(), kTextBufferSize);
  switch (r) {
    case vardo::VARDO_FMT_NOT_COMPILED:
      *out = DbMessage(17, 1);
      return -1;
    case vardo::VARDO_FMT_OVERFLOW:
      *out = DbMessage(17, 3);
      return -1;
    case vardo::VARDO_FMT_BAD_ARGUMENT:
    case vardo::VARDO_FMT_DB_OPEN:
      *out = DbMessage(17, 4);
      return -1;
    case vardo::VARDO_FMT_INVERTED:
      *out = DbMessage(17, 5);
      return -1;
    default:
      break;
  }
  if (r < 0) {
    // -301 and anything the engine should not return here (a bad handle, a
    // failed compile that is not a position): never shown as a length.
    *out = "Vardo Low Level Error Trap";
    return -1;
  }
  buffer.resize(static_cast<size_t>(r));
  *out = std::move(buffer);
  return r;
}

}  // namespace bramble
