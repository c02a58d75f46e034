#pragma once
// Language tables: identifiers.ini maps names to numbers, lng_<language>.ini maps names to
// texts. Every text the utility shows is looked up by its number.

#include "base/texts.h"

#include <QString>

namespace kestrix {

// Reads both tables from `folder` (the data folder by default). File names are found without
// regard to case ("German" finds lng_german.ini). Missing files give empty tables; the files
// are only read, never changed (their permissions included). Safe to call again: the tables
// are replaced as a whole.
void LoadLanguage(const QString &language, const QString &folder = {});

// Loads the tables of `language` from the data folder, or, when they give no text there
// (missing, unreadable, a folder in their place, nothing usable in them), from the tables
// shipped beside the executable, so that no message turns into "?".
// Returns the folder the tables came from.
QString LoadLanguageOrShipped(const QString &language);

// The table's text of a number (a text, a dialog or a control), or "?" when there is none.
// "\n" and "\t" in a text become a line break and a tab. The result is an independent value:
// it stays valid however many further lookups are made. Thread-safe.
QString LookupNumber(int number);
// The text of a message, as LookupNumber.
QString LookupText(TextId text);

// True when the number has a text (the result of LookupNumber does not begin with "?").
bool hasText(int number);

// The text of a number or a message, or `builtIn` when there is none.
QString numberOr(int number, const QString &builtIn);
QString textOr(TextId text, const QString &builtIn);

inline const QString NoText = QStringLiteral("?");

} // namespace kestrix
