// The PC clock texts and the display cycle of the main window's clock.

#include "time/display_cycle.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

// Monday, 7 December 2026, 09:05:03.
const QDateTime Start(QDate(2026, 12, 7), QTime(9, 5, 3));

enum class Face { Time, Date, Kept };

// Runs the cycle for `ticks` seconds from Start and says what the display did on each tick.
std::vector<Face> runCycle(DisplayCycle &cycle, int ticks, int firstSecond = 0)
{
    std::vector<Face> faces;
    for (int i = 0; i < ticks; ++i) {
        const QDateTime now = Start.addSecs(firstSecond + i);
        const std::optional<QString> text = cycle.tick(now);
        if (!text)
            faces.push_back(Face::Kept);
        else
            faces.push_back(*text == displayTimeText(now) ? Face::Time : Face::Date);
    }
    return faces;
}

std::vector<Face> cycleOf(int time, int date)
{
    std::vector<Face> faces(time, Face::Time);
    faces.insert(faces.end(), date, Face::Date);
    faces.push_back(Face::Kept);
    return faces;
}

// ---------------------------------------------------------------------------------------------
// Clock texts and the display cycle

TEST(ClockTexts, UseTheWindowsFormats)
{
    const ClockTexts texts = clockTexts(Start);
    EXPECT_EQ(texts.date, "07. 12. 2026");
    EXPECT_EQ(texts.time, "09 : 05 : 03");
    EXPECT_EQ(texts.weekday, "1");
    EXPECT_EQ(clockTexts(Start.addDays(-1)).weekday, "0") << "Sunday is 0";
    EXPECT_EQ(displayTimeText(Start), "09:05:03");
    EXPECT_EQ(displayDateText(Start), "07.12.26");
}

TEST(DisplayCycle, ShowsTimeForTimeViewAndDateForDateViewPlusTheResettingTick)
{
    DisplayCycle cycle;
    cycle.setTimeViewSeconds(5);
    cycle.setDateViewSeconds(3);
    std::vector<Face> expected = cycleOf(5, 3);
    const std::vector<Face> once = expected;
    expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(runCycle(cycle, 18), expected);
    EXPECT_EQ(cycle.viewCounter(), 0);
}

TEST(DisplayCycle, WithBothViewsZeroShowsTheTimeEveryTick)
{
    DisplayCycle cycle;
    for (int second = 0; second < 30; ++second) {
        const QDateTime now = Start.addSecs(second);
        EXPECT_EQ(cycle.tick(now), displayTimeText(now)) << "tick " << second;
        EXPECT_EQ(cycle.viewCounter(), 0);
    }
}

TEST(DisplayCycle, ViewsSetAfterBothWereZeroStartAFullCycle)
{
    DisplayCycle cycle;
    runCycle(cycle, 4);
    cycle.setTimeViewSeconds(2);
    cycle.setDateViewSeconds(1);
    EXPECT_EQ(runCycle(cycle, 8, 4), (std::vector<Face>{Face::Time, Face::Time, Face::Date, Face::Kept, Face::Time,
                                                       Face::Time, Face::Date, Face::Kept}));
}

TEST(DisplayCycle, WithOnlyTheDateViewTheDateAlternatesWithTheKeptTick)
{
    DisplayCycle cycle;
    cycle.setDateViewSeconds(2);
    EXPECT_EQ(runCycle(cycle, 6), (std::vector<Face>{Face::Date, Face::Date, Face::Kept, Face::Date, Face::Date, Face::Kept}));
}

TEST(DisplayCycle, ALongerTimeViewSetDuringTheDateTakesEffectFromTheNextCycle)
{
    DisplayCycle cycle;
    cycle.setTimeViewSeconds(5);
    cycle.setDateViewSeconds(3);
    runCycle(cycle, 6);   // five times and the first date
    cycle.setTimeViewSeconds(6);
    const std::vector<Face> rest = runCycle(cycle, 20, 6);
    const auto restart = std::find(rest.begin(), rest.end(), Face::Kept);
    ASSERT_LE(restart + 1 + 10, rest.end());
    EXPECT_EQ(std::vector<Face>(restart + 1, restart + 1 + 10), cycleOf(6, 3));
}

} // namespace
} // namespace kestrix
