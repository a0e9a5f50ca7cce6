#include "app/gui/display_text.h"

#include <QHash>
#include <QStringDecoder>
#include <array>

namespace bramble::gui {

namespace {

struct Windows1252 {
  std::array<char16_t, 256> to_unicode{};
  QHash<char16_t, unsigned char> to_byte;

  Windows1252() {
    QStringDecoder decoder("windows-1252");
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      QString one = decoder.isValid() ? decoder.decode(QByteArrayView(&byte, 1)) : QString();
      char16_t unit = one.size() == 1 ? one.at(0).unicode() : char16_t(0xFFFD);
      // Undefined bytes (and anything a converter would not map one to one)
      // keep their own value as a code point: U+0081 for 0x81 and so on.
      if (unit == 0xFFFD || one.size() != 1) unit = static_cast<char16_t>(b);
      to_unicode[static_cast<size_t>(b)] = unit;
    }
    for (int b = 0; b < 256; ++b)
      to_byte.insert(to_unicode[static_cast<size_t>(b)], static_cast<unsigned char>(b));
  }
};

const Windows1252& Table() {
  static const Windows1252 table;
  return table;
}

}  // namespace

QString FromDisplay(std::string_view bytes) {
  const Windows1252& t = Table();
  QString out;
  out.resize(static_cast<qsizetype>(bytes.size()));
  QChar* p = out.data();
  for (size_t i = 0; i < bytes.size(); ++i)
    p[i] = QChar(t.to_unicode[static_cast<unsigned char>(bytes[i])]);
  return out;
}

std::string ToDisplayBytes(const QString& text) {
  const Windows1252& t = Table();
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t u = text.at(i).unicode();
    if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      ++i;  // one character outside the BMP: one replacement byte
      out.push_back('?');
      continue;
    }
    auto it = t.to_byte.constFind(u);
    out.push_back(it == t.to_byte.constEnd() ? '?' : static_cast<char>(it.value()));
  }
  return out;
}

}  // namespace bramble::gui
