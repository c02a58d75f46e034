// Where the programs find their data: the shipped files of an installed tree, and the per-user
// folder that takes config.ini and the other data files when the shipped folder is read-only.

#include "support/process_support.h"

#include "base/config_file.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kestrix::testing {
namespace {

// An installed tree under a temporary prefix: <prefix>/bin/kestrix-cli and the shipped files in
// <prefix>/share/kestrix, plus a folder for XDG_DATA_HOME that anybody may write into.
int modeOf(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

class FakeInstall {
public:
    FakeInstall()
    {
        QFile::setPermissions(m_prefix.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                   QFileDevice::ReadOther | QFileDevice::ExeOther);
        QDir prefix(m_prefix.path());
        prefix.mkpath("bin");
        prefix.mkpath("share/kestrix");
        prefix.mkpath("xdg");
        QFile::copy(programBesideTests("kestrix-cli"), prefix.filePath("bin/kestrix-cli"));
        const QDir shipped(shippedDataDir());
        for (const QString &name : shipped.entryList({"*.ini", "*.txt", "*.bmp", "*.png"}, QDir::Files)) {
            if (name.compare("config.ini", Qt::CaseInsensitive) != 0)
                QFile::copy(shipped.filePath(name), shippedFile(name));
        }
        QFile::setPermissions(xdgDir(), QFileDevice::Permissions(0x7777));
    }

    QString shippedFolder() const { return m_prefix.filePath("share/kestrix"); }
    QString shippedFile(const QString &name) const { return QDir(shippedFolder()).filePath(name); }
    QString xdgDir() const { return m_prefix.filePath("xdg"); }
    QString userFolder() const { return m_prefix.filePath("xdg/kestrix"); }
    QString userFile(const QString &name) const { return QDir(userFolder()).filePath(name); }

    // The shipped folder as a package installs it: nobody but root may write into it.
    void makeShippedReadOnly() const
    {
        QFile::setPermissions(shippedFolder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                   QFileDevice::ExeOther);
    }

    // Runs the installed kestrix-cli as an ordinary user, without a data folder of the tests.
    CliRun run(const QStringList &arguments, const QString &dataDirVariable = {}) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("KESTRIX_DATA_DIR");
        if (!dataDirVariable.isEmpty())
            environment.insert("KESTRIX_DATA_DIR", dataDirVariable);
        environment.insert("XDG_DATA_HOME", xdgDir());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setChildProcessModifier(asNobody());
        process.start(m_prefix.filePath("bin/kestrix-cli"), arguments);
        CliRun run;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
            ADD_FAILURE() << "the installed kestrix-cli did not run: " << process.errorString().toStdString();
            return run;
        }
        run.exitCode = process.exitCode();
        run.out = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

private:
    QTemporaryDir m_prefix;
};

// Writable or not (root may write anywhere), the shipped folder of an installed tree is never
// written: the per-user folder takes config.ini, the folder its owner's only, the file too.
TEST(InstalledDataFolder, ProgramsNeverWriteIntoTheShippedFolder)
{
    for (const bool writable : {true, false}) {
        FakeInstall install;
        if (writable)
            QFile::setPermissions(install.shippedFolder(), QFileDevice::Permissions(0x7777));
        else
            install.makeShippedReadOnly();
        const QStringList shippedBefore = QDir(install.shippedFolder()).entryList(QDir::Files | QDir::Hidden);

        const CliRun run = install.run({"config-path"});
        ASSERT_EQ(run.exitCode, 0) << run;
        EXPECT_EQ(run.out, install.userFile("config.ini")) << "writable " << writable;
        ASSERT_EQ(install.run({"map-port", "3", "/dev/ttyS0"}).exitCode, 0);
        EXPECT_EQ(modeOf(install.userFolder()), 0700);
        EXPECT_EQ(modeOf(install.userFile("config.ini")), 0600);
        EXPECT_EQ(QDir(install.shippedFolder()).entryList(QDir::Files | QDir::Hidden), shippedBefore);
    }
}

TEST(InstalledDataFolder, DataDirOptionAndVariableStillWin)
{
    FakeInstall install;
    install.makeShippedReadOnly();
    QTemporaryDir chosen;

    EXPECT_EQ(install.run({"config-path"}, chosen.path()).out, QDir(chosen.path()).filePath("config.ini"));
    EXPECT_EQ(install.run({"--data-dir", chosen.path(), "config-path"}).out, QDir(chosen.path()).filePath("config.ini"));
    EXPECT_FALSE(QFileInfo::exists(install.userFolder()));
}

TEST(UserDataFolder, ReadOnlyShippedFolderGivesASeededPerUserFolder)
{
    FakeInstall install;
    install.makeShippedReadOnly();

    const CliRun run = install.run({"config-path"});
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out, install.userFile("config.ini"));
    EXPECT_TRUE(run.err.isEmpty()) << run;
    // The files users edit are copied; language tables and pictures are read where installed.
    const QStringList copied{"Daynight.txt", "vars.txt"};
    for (const QString &name : copied)
        EXPECT_EQ(readBytes(install.userFile(name)), readBytes(install.shippedFile(name))) << name.toStdString();
    EXPECT_EQ(QDir(install.userFolder()).entryList(QDir::Files | QDir::Hidden), copied)
        << "no temporary file stays behind";

    const CliRun check = install.run({"check", "--device", "/nonexistent/kestrix-port"});
    EXPECT_TRUE(check.err.contains("Checking communication")) << check;
}

TEST(UserDataFolder, SeedingCopiesMissingFilesAndKeepsEditedOnes)
{
    FakeInstall install;
    install.makeShippedReadOnly();
    ASSERT_EQ(install.run({"config-path"}).exitCode, 0);

    writeBytes(install.userFile("vars.txt"), "Edited counter;410;Int;Par\r\n");
    writeBytes(install.userFile("config.ini"), "[System]\r\nLanguage=german\r\n");
    ASSERT_TRUE(QFile::remove(install.userFile("Daynight.txt")));

    const CliRun run = install.run({"config-path"});
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(readBytes(install.userFile("vars.txt")), "Edited counter;410;Int;Par\r\n");
    EXPECT_EQ(readBytes(install.userFile("config.ini")), "[System]\r\nLanguage=german\r\n");
    EXPECT_EQ(readBytes(install.userFile("Daynight.txt")), readBytes(install.shippedFile("Daynight.txt")));
}

TEST(UserDataFolder, FolderThatCannotBeCreatedFallsBackToTheShippedFiles)
{
    FakeInstall install;
    install.makeShippedReadOnly();
    QFile::setPermissions(install.xdgDir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);

    const CliRun run = install.run({"config-path"});
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out, install.shippedFile("config.ini"));
    EXPECT_TRUE(run.err.contains(install.userFolder())) << run;
    EXPECT_TRUE(run.err.contains(install.shippedFolder())) << run;
}

TEST(UserDataFolder, PicturesComeFromTheDataFolderWhenItHasThemElseFromTheShippedOnes)
{
    QTemporaryDir data;
    const QString before = dataDir();
    setDataDir(data.path());
    EXPECT_EQ(resourceFilePath("logo.bmp"), QDir(shippedDataDir()).filePath("logo.bmp"));
    writeBytes(QDir(data.path()).filePath("logo.bmp"), "BM");
    EXPECT_EQ(resourceFilePath("logo.bmp"), QDir(data.path()).filePath("logo.bmp"));
    setDataDir(before);
}

TEST(UserDataFolder, SeedDataDirCopiesIntoAFolderItCreates)
{
    QTemporaryDir shipped;
    QTemporaryDir parent;
    writeBytes(QDir(shipped.path()).filePath("lng_english.ini"), "[Strings]\n");
    writeBytes(QDir(shipped.path()).filePath("vars.txt"), "shipped\n");
    writeBytes(QDir(shipped.path()).filePath("kestrix-cli"), "not a data file");
    const QString folder = QDir(parent.path()).filePath("a/b/kestrix");

    QString error;
    ASSERT_TRUE(seedDataDir(shipped.path(), folder, &error)) << error.toStdString();
    // Language tables stay where they were installed, so an upgrade reaches every user.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"vars.txt"});

    writeBytes(QDir(folder).filePath("vars.txt"), "mine\n");
    ASSERT_TRUE(seedDataDir(shipped.path(), folder, &error));
    EXPECT_EQ(readBytes(QDir(folder).filePath("vars.txt")), "mine\n");

    EXPECT_FALSE(seedDataDir(shipped.path(), QString(), &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace kestrix::testing
