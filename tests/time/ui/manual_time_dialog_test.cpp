// The manual time dialog: its controls, limits and texts, and an upload through its button.
#include "support/test_support.h"
#include "support/ui_support.h"

#include "base/language.h"
#include "time/ui/manual_time_dialog.h"
#include "widgets/board_panel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace kestrix;
namespace kt = kestrix::testing;
using kt::childByNumber;

namespace {

QDateTime sundayMorning()
{
    return QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7));
}

struct FieldCase {
    int control;
    Clock::Field field;
    int limit;
    const char *preset;
};

constexpr FieldCase Fields[] = {
    {ManualTimeDialog::HourEdit, Clock::Hours, 2, "09"},   {ManualTimeDialog::MinuteEdit, Clock::Minutes, 2, "05"},
    {ManualTimeDialog::SecondEdit, Clock::Seconds, 2, "07"}, {ManualTimeDialog::WeekdayEdit, Clock::Weekday, 1, "0"},
    {ManualTimeDialog::DayEdit, Clock::Day, 2, "06"},      {ManualTimeDialog::MonthEdit, Clock::Month, 2, "12"},
    {ManualTimeDialog::YearEdit, Clock::Year, 2, "26"},
};

TEST(ManualDlg, SevenCentredDigitFieldsPresetFromTheClock)
{
    kt::ScratchDataDir data;
    ManualTimeDialog dialog(nullptr, sundayMorning());
    EXPECT_EQ(dialogNumber(&dialog), 174);
    EXPECT_EQ(dialog.windowTitle(), "Adjust Time & Date Manual Dialog");
    for (const FieldCase &row : Fields) {
        SCOPED_TRACE(row.control);
        QLineEdit *edit = childByNumber<QLineEdit>(&dialog, row.control);
        ASSERT_TRUE(edit);
        EXPECT_EQ(edit, dialog.field(row.field));
        EXPECT_EQ(edit->text(), row.preset);
        EXPECT_EQ(edit->maxLength(), row.limit);
        EXPECT_EQ(edit->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        edit->clear();
        QTest::keyClicks(edit, "a1-x23");
        EXPECT_EQ(edit->text(), QString("123").left(row.limit));
    }
    EXPECT_EQ(childByNumber<QPushButton>(&dialog, ManualTimeDialog::UploadButton)->text(), "Upload Time && Date");
    EXPECT_EQ(childByNumber<QPushButton>(&dialog, ManualTimeDialog::CloseButton)->text(), "Close");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, ManualTimeDialog::StatusLine)->text(), "Status:");
}

TEST(ManualDlg, SpeaksGermanAndKeepsTheFieldsValues)
{
    kt::ScratchDataDir data;
    LoadLanguage("german", data.path());
    ManualTimeDialog dialog(nullptr, sundayMorning());
    EXPECT_EQ(dialog.windowTitle(), "Uhrzeit und Datum manuell einstellen");
    EXPECT_EQ(childByNumber<QPushButton>(&dialog, ManualTimeDialog::UploadButton)->text(), "Uhrzeit && Datum übertragen");
    EXPECT_EQ(childByNumber<QPushButton>(&dialog, ManualTimeDialog::CloseButton)->text(), "Schließen");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1420)->text(), "Stunde");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1423)->text(), "Wochentag");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1426)->text(), "Jahr");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, ManualTimeDialog::StatusLine)->text(), "Status:");
    // Localising by number leaves the fields' own texts alone.
    EXPECT_EQ(dialog.field(Clock::Hours)->text(), "09");
}

TEST(ManualDlg, UploadButtonSendsTheTypedFieldsOnTheConfiguredPort)
{
    kt::ScratchDataDir data;
    data.writeConfig("[Settings]\nPort=2\nBaud=2\n");
    BoardQueues::instance().setSession({3, 9600});
    auto board = kt::startBoardOn(3, 9600);
    ASSERT_TRUE(board);
    ManualTimeDialog dialog(nullptr, sundayMorning());
    dialog.field(Clock::Seconds)->setText("7");
    dialog.field(Clock::Weekday)->setText("3");
    dialog.field(Clock::Month)->clear();

    auto *upload = childByNumber<QPushButton>(&dialog, ManualTimeDialog::UploadButton);
    auto *close = childByNumber<QPushButton>(&dialog, ManualTimeDialog::CloseButton);
    QTest::mouseClick(upload, Qt::LeftButton);
    EXPECT_FALSE(upload->isEnabled());
    EXPECT_TRUE(close->isEnabled()) << "closing mid-upload asks instead";
    ASSERT_TRUE(QTest::qWaitFor([&dialog] { return !dialog.panel()->busy(); }, 10000));

    const std::vector<std::string> expected{kt::Sm7,    kt::TestFrame, kt::Sm7,     "W00007\r", "W00105\r",
                                            "W00209\r", "W00303\r",    "W00406\r", "W005\r",   "W00626\r"};
    EXPECT_EQ(kt::received(*board, expected.size()), expected);
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Time & Date Uploaded.");
    EXPECT_TRUE(upload->isEnabled());
    EXPECT_TRUE(close->isEnabled());
}

TEST(ManualDlg, WithoutABoardTheStatusLineShowsTheCombinedError)
{
    kt::ScratchDataDir data;
    BoardQueues::instance().setSession({4, 9600});   // COM4: no device
    ManualTimeDialog dialog(nullptr, sundayMorning());
    QTest::mouseClick(childByNumber<QPushButton>(&dialog, ManualTimeDialog::UploadButton), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&dialog] { return !dialog.panel()->busy(); }, 10000));
    EXPECT_EQ(dialog.statusLine()->text(), "Status: Communication Error! Check COM port and Speed.");
}

} // namespace
