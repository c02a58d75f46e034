#pragma once
// Reading a whole file that a user names or edits: its bytes, or why it cannot be read, in the
// form every area's loader reports it ("path: reason").

#include <QByteArray>
#include <QString>
#include <optional>

namespace kestrix {

// The file's bytes; nothing, with "path: reason" in *error, when it cannot be opened.
std::optional<QByteArray> readFileBytes(const QString &path, QString *error = nullptr);

} // namespace kestrix
