#include "time/display_cycle.h"

namespace kestrix {

namespace {

// Qt numbers the days 1 (Monday) to 7 (Sunday); the board and the window count from Sunday = 0.
int weekdayFromSunday(const QDate &date)
{
    return date.dayOfWeek() % 7;
}

} // namespace

ClockTexts clockTexts(const QDateTime &now)
{
    return {now.toString(QStringLiteral("dd. MM. yyyy")),
            now.toString(QStringLiteral("HH : mm : ss")),
            QString::number(weekdayFromSunday(now.date()))};
}

QString displayTimeText(const QDateTime &now)
{
    return now.toString(QStringLiteral("HH:mm:ss"));
}

QString displayDateText(const QDateTime &now)
{
    return now.toString(QStringLiteral("dd.MM.yy"));
}

std::optional<QString> DisplayCycle::tick(const QDateTime &now)
{
    // No cycle to run (every fresh installation): the display shows the time rather than
    // staying empty.
    if (m_timeView <= 0 && m_dateView <= 0) {
        m_counter = 0;
        return displayTimeText(now);
    }
    std::optional<QString> text;
    if (m_counter < m_timeView) {
        text = displayTimeText(now);
    } else if (m_counter < m_timeView + m_dateView) {
        text = displayDateText(now);
    } else {
        m_counter = 0;
        return std::nullopt;
    }
    ++m_counter;
    return text;
}

} // namespace kestrix
