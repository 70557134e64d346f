#pragma once
// Qt's own texts (file and print dialogs, Yes/No buttons) in the operator's language.
class QCoreApplication;

namespace osc {

// Loads Qt's translations for the user's locale; Czech for an English or C locale and
// for a language Qt has no translation of.
void LoadQtTranslations(QCoreApplication& app);

}  // namespace osc
