#include "app/gui/qt_translation.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace bramble::gui {

bool InstallQtTranslation(const std::string& language) {
  static std::unique_ptr<QTranslator> installed;
  if (installed) {
    QCoreApplication::removeTranslator(installed.get());
    installed.reset();
  }
  if (language.empty() || language == "en") return false;
  auto translator = std::make_unique<QTranslator>();
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  // By locale, so "pt" finds qtbase_pt_BR.qm as well as a plain qtbase_pt.qm.
  const QLocale locale(QString::fromStdString(language));
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
    return false;
  }
  QCoreApplication::installTranslator(translator.get());
  installed = std::move(translator);
  return true;
}

}  // namespace bramble::gui
