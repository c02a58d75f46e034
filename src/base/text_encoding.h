#pragma once
// Text files are read as UTF-8 when valid, else as Windows-1252; texts for the board travel
// as Windows-1252 bytes.

#include <QByteArray>
#include <QString>

namespace kestrix {

// A byte order mark stays in the text as U+FEFF, so a rewrite can keep it.
QString decodeText(const QByteArray &bytes);
QString fromWindows1252(const QByteArray &bytes);
// Characters outside Windows-1252 become "?".
QByteArray toWindows1252(const QString &text);

} // namespace kestrix
