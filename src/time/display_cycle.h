#pragma once
// The main window's clock texts and the cycle of its large display, which shows the time for
// the time-view seconds and then the date for the date-view seconds. Headless, so the cycle
// can be driven tick by tick.

#include <QDateTime>
#include <QString>
#include <optional>

namespace kestrix {

// The PC clock texts of the "PC Time / Date" group.
struct ClockTexts {
    QString date;      // "07. 12. 2026"
    QString time;      // "09 : 05 : 03"
    QString weekday;   // "0" is Sunday
};

ClockTexts clockTexts(const QDateTime &now);

// "09:05:03" and "07.12.26", the two faces of the large display.
QString displayTimeText(const QDateTime &now);
QString displayDateText(const QDateTime &now);

class DisplayCycle {
public:
    // One timer tick at `now`. Gives the display's new text, or nothing when the display
    // keeps its previous text: that is the tick that starts the cycle again. With time-view
    // T and date-view D the time shows for T ticks and the date for D ticks plus that one.
    // With both 0 there is no cycle: every tick shows the time.
    std::optional<QString> tick(const QDateTime &now);

    void setTimeViewSeconds(int seconds) { m_timeView = seconds; }
    void setDateViewSeconds(int seconds) { m_dateView = seconds; }
    int timeViewSeconds() const { return m_timeView; }
    int dateViewSeconds() const { return m_dateView; }
    // Seconds into the current cycle.
    int viewCounter() const { return m_counter; }
    void restart() { m_counter = 0; }

private:
    int m_timeView = 0;
    int m_dateView = 0;
    int m_counter = 0;
};

} // namespace kestrix
