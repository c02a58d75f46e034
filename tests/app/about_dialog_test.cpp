// The About box: logo, name and build stamp, and what the language tables may replace.

#include "app/about_dialog.h"
#include "support/test_support.h"
#include "support/ui_support.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <memory>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ScratchDataDir;
using testing::childByNumber;
using testing::OwnTables;

// ---------------------------------------------------------------------------------------------
// About box

void writeLogo(const QString &path)
{
    QImage image(136, 86, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 255));
    ASSERT_TRUE(image.save(path, "BMP"));
}

TEST(AboutDlg, ShowsLogoNameAndBuildStamp)
{
    ScratchDataDir data;
    writeLogo(data.file("logo.bmp"));
    AboutDialog dialog;

    EXPECT_EQ(dialog.windowTitle(), "About Kestrix");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1210)->text(), "Kestrix v2.2");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1216)->text(), compiledText());
    ASSERT_NE(childByNumber<QPushButton>(&dialog, 1), nullptr);
    const QPixmap logo = childByNumber<QLabel>(&dialog, 1214)->pixmap();
    EXPECT_EQ(logo.size(), QSize(68, 43));
    EXPECT_EQ(logo.toImage().pixelColor(34, 21), QColor(0, 0, 255));
}

TEST(AboutDlg, LogoComesFromTheDataFolderElseTheShippedOneAndABrokenOneStaysEmpty)
{
    ScratchDataDir data;
    QFile::remove(data.file("logo.bmp"));
    EXPECT_FALSE(childByNumber<QLabel>(std::make_unique<AboutDialog>().get(), 1214)->pixmap().isNull());
    QFile broken(data.file("logo.bmp"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    AboutDialog dialog;
    EXPECT_TRUE(childByNumber<QLabel>(&dialog, 1214)->pixmap().isNull());
}

TEST(AboutDlg, TablesReplaceTitleAndNameButNeverTheBuildStamp)
{
    ScratchDataDir data;
    OwnTables tables("ABOUT=100\nNAME=1210\nSTAMP=1216\n", "ABOUT=Info\nNAME=Orbisk X\nSTAMP=Gebaut\n");
    AboutDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Info");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1210)->text(), "Orbisk X");
    EXPECT_EQ(childByNumber<QLabel>(&dialog, 1216)->text(), compiledText());
}


} // namespace
} // namespace kestrix
