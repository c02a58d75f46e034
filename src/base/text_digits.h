#pragma once
// The rules for the two-character texts of register values: a one-character text is sent with
// "0" in front, a number shows in two digits at least, and a read value starting with "0" is
// shown by its last character alone.

#include <QString>
#include <QStringView>

#include <algorithm>

namespace kestrix {

// "5" gives "05"; an empty text and one of two or more characters stay as they are.
inline QString padToTwo(const QString &text)
{
    return text.size() == 1 ? u'0' + text : text;
}

// A number in at least two decimal digits: 7 gives "07", 200 gives "200".
inline QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// "05" gives "5", "00" gives "0"; a value not starting with "0" stays as it is.
inline QString dropLeadingZero(const QString &value)
{
    return value.startsWith(u'0') ? value.right(1) : value;
}

// 0-9 only: QChar::isDigit also takes the digits of other scripts, which no register holds.
inline bool isAsciiDigit(QChar character)
{
    return character >= u'0' && character <= u'9';
}

// Whether every character is 0-9; true for an empty text.
inline bool allAsciiDigits(QStringView text)
{
    return std::ranges::all_of(text, isAsciiDigit);
}

} // namespace kestrix
