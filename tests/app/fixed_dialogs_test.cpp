// Dialogs of fixed content, in English and German: as large as their content needs, not
// resizable, without a maximise button; the manual time dialog as wide as its seven fields; a
// long status cut to one line with the whole text in its tooltip.

#include "support/test_support.h"
#include "support/ui_support.h"

#include "app/about_dialog.h"
#include "base/config_file.h"
#include "base/language.h"
#include "comm/ui/port_dialog.h"
#include "info/ui/password_dialog.h"
#include "time/ui/manual_time_dialog.h"
#include "time/ui/time_server_dialog.h"
#include "widgets/board_panel.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace kestrix::testing {
namespace {

struct FixedDialog {
    const char *name;
    std::function<std::unique_ptr<QDialog>()> create;
};

const FixedDialog Dialogs[] = {
    {"About", [] { return std::make_unique<AboutDialog>(); }},
    {"Port", [] { return std::make_unique<PortDialog>(); }},
    {"Password", [] { return std::make_unique<PasswordDialog>(); }},
    {"ManualTime", [] { return std::make_unique<ManualTimeDialog>(); }},
    {"TimeServer", [] { return std::make_unique<TimeServerDialog>(); }},
};

class FixedDialogs : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        data.writeConfig(QStringLiteral("[System]\nLanguage=%1\n").arg(QString::fromUtf8(GetParam())));
        LoadLanguage(configuredLanguage());
    }
    void TearDown() override { LoadLanguage(QStringLiteral("english")); }

    ScratchDataDir data;
};

TEST_P(FixedDialogs, TakeTheSizeTheirContentNeedsAndCannotBeResized)
{
    for (const FixedDialog &fixed : Dialogs) {
        const std::unique_ptr<QDialog> dialog = fixed.create();
        dialog->show();
        EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint) << fixed.name;
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << fixed.name;
        EXPECT_EQ(dialog->size(), dialog->sizeHint()) << fixed.name;
    }
}

// The fields' row decides the width: the last field ends where the right margin begins.
TEST_P(FixedDialogs, ManualTimeDialogIsAsWideAsItsSevenFields)
{
    ManualTimeDialog dialog;
    dialog.show();
    const auto *grid = qobject_cast<QGridLayout *>(dialog.layout());
    ASSERT_NE(grid, nullptr);
    int right = 0;
    for (int column = 0; column < grid->columnCount(); ++column) {
        if (QLayoutItem *item = grid->itemAtPosition(1, column); item && item->widget())
            right = std::max(right, item->widget()->geometry().right());
    }
    EXPECT_EQ(grid->columnCount(), 7);
    EXPECT_EQ(dialog.width(), right + 1 + grid->contentsMargins().right());
}

TEST_P(FixedDialogs, ALongTimeServerStatusIsCutToOneLineWithTheWholeTextInItsTooltip)
{
    TimeServerDialog dialog;
    dialog.show();
    auto *panel = dialog.findChild<BoardPanel *>();
    ASSERT_NE(panel, nullptr);
    const int oneLine = panel->line(0)->height();
    const QString status = LookupText(Text::Status) + u' ' + QString(200, u'x');
    panel->setLine(0, status);
    EXPECT_EQ(panel->line(0)->height(), oneLine);
    EXPECT_TRUE(panel->shownText(0).endsWith(QChar(0x2026))) << panel->shownText(0).toStdString();
    EXPECT_EQ(panel->line(0)->toolTip(), status);
    EXPECT_EQ(dialog.size(), dialog.sizeHint()) << "a long status does not widen the dialog";
}

INSTANTIATE_TEST_SUITE_P(Languages, FixedDialogs, ::testing::Values("english", "german"));

} // namespace
} // namespace kestrix::testing
