#include "app/gui/file_filter.h"

#include <QStringList>

#include "app/gui/display_text.h"

namespace bramble::gui {

namespace {

// "*.par;*.mst" -> "*.par *.mst"; "*.*" -> "*".
QString Patterns(const QString& list) {
  QStringList out;
  for (QString p : list.split(u';', Qt::SkipEmptyParts)) {
    p = p.trimmed();
    if (p == u"*.*") p = QStringLiteral("*");
    if (!p.isEmpty() && !out.contains(p)) out << p;
  }
  return out.join(u' ');
}

// The description without a trailing "(...)" (Qt reads the patterns from the
// last parenthesised group, so the original one would be taken literally).
QString Description(QString d) {
  d = d.trimmed();
  if (d.endsWith(u')')) {
    const qsizetype open = d.lastIndexOf(u'(');
    if (open >= 0) d = d.left(open).trimmed();
  }
  return d;
}

}  // namespace

QString ToQtFilter(const std::string& pipe_filter) {
  const QString f = FromDisplay(pipe_filter);
  QStringList parts = f.split(u'|');
  while (!parts.isEmpty() && parts.last().isEmpty()) parts.removeLast();
  if (parts.isEmpty()) return QString();
  if (parts.size() == 1) parts << parts.first();
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString patterns = Patterns(parts[i + 1]);
    if (patterns.isEmpty()) continue;
    QString description = Description(parts[i]);
    if (description.isEmpty()) description = parts[i + 1].trimmed();
    filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

}  // namespace bramble::gui
