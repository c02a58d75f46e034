#pragma once
// Qt's own texts (file dialogs, standard buttons, the edit context menu) in the program's
// language: the Qt package's translation of the language the configuration names.

class QString;

namespace kestrix {

// Installs Qt's translation for `language` ("german", "english": a language table's name),
// replacing one installed before. Returns false, leaving Qt's English, when Qt has none for it.
bool loadQtTranslations(const QString &language);

} // namespace kestrix
