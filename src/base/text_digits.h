#pragma once
// The two rules for the two-character texts of register values: a one-character text is sent
// with "0" in front, and a read value starting with "0" is shown by its last character alone.

#include <QString>

namespace kestrix {

// "5" gives "05"; an empty text and one of two or more characters stay as they are.
inline QString padToTwo(const QString &text)
{
    return text.size() == 1 ? u'0' + text : text;
}

// "05" gives "5", "00" gives "0"; a value not starting with "0" stays as it is.
inline QString dropLeadingZero(const QString &value)
{
    return value.startsWith(u'0') ? value.right(1) : value;
}

} // namespace kestrix
