#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace osc {

void LoadQtTranslations(QCoreApplication& app) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* translator = new QTranslator(&app);
  // The program speaks Czech: Qt's buttons do too unless the locale asks for another
  // language Qt has.
  const QLocale locale;
  const bool loaded = (locale.language() != QLocale::English && locale.language() != QLocale::C &&
                       translator->load(locale, "qtbase", "_", folder)) ||
                      translator->load("qtbase_cs", folder);
  if (loaded) {
    QCoreApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

}  // namespace osc
