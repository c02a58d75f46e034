// Writing config.ini safely: the replacement keeps the original's owner, group and mode, links
// are followed only where that is safe, a killed writer leaves neither a lock that blocks nor a
// temporary file that stays, failures say why, and kestrix-cli reports them.
//
// Cases that need an ordinary user run in a forked child that becomes "nobody" when the tests
// run as root, so that they run everywhere; cases that need root skip without it.

#include "base/atomic_file.h"
#include "base/config_file.h"
#include "base/file_read.h"
#include "base/ini_file.h"
#include "support/process_support.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

using namespace kestrix;
using kestrix::testing::ScratchDataDir;
using namespace kestrix::testing;

namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}



struct stat statOf(const QString &path)
{
    struct stat result {};
    EXPECT_EQ(::lstat(native(path).constData(), &result), 0) << path.toStdString();
    return result;
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Gives a folder and the files in it to nobody, so that a child running as nobody owns them.
void giveToNobody(const QString &folder)
{
    if (!isRoot())
        return;
    ASSERT_EQ(::chown(native(folder).constData(), NobodyUser, NobodyGroup), 0);
    for (const QString &entry : folderEntries(folder))
        ASSERT_EQ(::lchown(native(QDir(folder).filePath(entry)).constData(), NobodyUser, NobodyGroup), 0);
}


// ---------------------------------------------------------------------------------------------
// Owner, group and mode

// A folder with one INI file, as a user's data folder holds config.ini.
class FileSafetyIni : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath("config.ini"); }
    IniFile ini() const { return IniFile(path()); }
    QStringList entries() const { return folderEntries(m_dir.path()); }

    QTemporaryDir m_dir;
};

TEST_F(FileSafetyIni, ReplacementKeepsTheOwnerGroupAndModeOfTheOriginal)
{
    if (!isRoot())
        GTEST_SKIP() << "only root can give the file to another user";
    writeBytes(path(), "[Settings]\nPort=1\n");
    giveToNobody(m_dir.path());
    ASSERT_EQ(::chmod(native(path()).constData(), 0640), 0);

    QString error;
    ASSERT_TRUE(ini().write("Settings", "Port", "2", &error)) << error.toStdString();

    const struct stat after = statOf(path());
    EXPECT_EQ(after.st_uid, NobodyUser);
    EXPECT_EQ(after.st_gid, NobodyGroup);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(readBytes(path()), QByteArray("[Settings]\nPort=2\n"));
    // The user can still write the file root wrote.
    const bool ran = asOrdinaryUser([this] {
        QString childError;
        EXPECT_TRUE(ini().write("Settings", "Port", "3", &childError)) << childError.toStdString();
    });
    EXPECT_TRUE(ran) << "the part run as an ordinary user failed (see above)";
    EXPECT_EQ(readBytes(path()), QByteArray("[Settings]\nPort=3\n"));
}

TEST_F(FileSafetyIni, NewFileWrittenByRootBelongsToTheFolderOwner)
{
    if (!isRoot())
        GTEST_SKIP() << "only root can give the file to another user";
    giveToNobody(m_dir.path());
    ASSERT_TRUE(ini().write("Settings", "Port", "2"));
    EXPECT_EQ(statOf(path()).st_uid, NobodyUser);
    const bool ran = asOrdinaryUser([this] { EXPECT_TRUE(ini().write("Settings", "Port", "3")); });
    EXPECT_TRUE(ran) << "the part run as an ordinary user failed (see above)";
}

TEST_F(FileSafetyIni, ReplacementKeepsTheMode)
{
    for (const mode_t mode : {0600u, 0640u, 0664u, 0604u}) {
        writeBytes(path(), "[S]\nk=1\n");
        ASSERT_EQ(::chmod(native(path()).constData(), mode), 0);
        ASSERT_TRUE(ini().write("S", "k", "2"));
        EXPECT_EQ(statOf(path()).st_mode & 07777, mode) << std::oct << mode;
    }
}

// A directory where the file is expected fails for root too: nothing is created or replaced.
TEST_F(FileSafetyIni, SomethingOtherThanAFileInItsPlaceIsNeverReplaced)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("config.ini"));
    QString error;
    EXPECT_FALSE(writeFileAtomically(path(), "[S]\nk=1\n", &error));
    EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();
    EXPECT_TRUE(QFileInfo(path()).isDir());
    EXPECT_EQ(entries(), QStringList{"config.ini"});
}

// ---------------------------------------------------------------------------------------------
// The two cases that an ordinary user meets and root does not: they run as nobody under root.

TEST_F(FileSafetyIni, AFileThatCannotBeReadIsNeverReplaced)
{
    const QByteArray original = "[System]\nLanguage=german\n";
    writeBytes(path(), original);
    ASSERT_EQ(::chmod(native(path()).constData(), 0200), 0);
    giveToNobody(m_dir.path());

    const bool ran = asOrdinaryUser([this] {
        QString error;
        EXPECT_FALSE(ini().write("Settings", "Port", "2", &error));
        EXPECT_TRUE(error.contains(path())) << error.toStdString();
    });
    EXPECT_TRUE(ran) << "the part run as an ordinary user failed (see above)";
    ::chmod(native(path()).constData(), 0644);
    EXPECT_EQ(readBytes(path()), original);
    EXPECT_EQ(entries(), QStringList{"config.ini"});
}

TEST_F(FileSafetyIni, FailedWriteLeavesTheOriginalUntouched)
{
    const QByteArray original = "[S]\nk=1\n";
    writeBytes(path(), original);
    giveToNobody(m_dir.path());
    const QByteArray folder = native(m_dir.path());
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);

    // The folder is not writable, the file is: the replacement cannot be made, and says why.
    const bool ran = asOrdinaryUser([this] {
        QString error;
        EXPECT_FALSE(ini().write("S", "k", "2", &error));
        EXPECT_TRUE(error.startsWith("cannot write " + path())) << error.toStdString();
        EXPECT_TRUE(error.contains("Permission denied")) << error.toStdString();
    });
    EXPECT_TRUE(ran) << "the part run as an ordinary user failed (see above)";
    ::chmod(folder.constData(), 0755);

    EXPECT_EQ(readBytes(path()), original);
    EXPECT_EQ(entries(), QStringList{"config.ini"});
}

// ---------------------------------------------------------------------------------------------
// Links

TEST_F(FileSafetyIni, LinkToAFileInTheFolderIsWrittenThrough)
{
    writeBytes(m_dir.filePath("shared.ini"), "[S]\nk=1\n");
    ASSERT_TRUE(QFile::link("shared.ini", path()));
    ASSERT_TRUE(ini().write("S", "k", "2"));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(readBytes(m_dir.filePath("shared.ini")), QByteArray("[S]\nk=2\n"));
    EXPECT_EQ(entries(), (QStringList{"config.ini", "shared.ini"}));
}

TEST_F(FileSafetyIni, LinkToTheLinkOwnersFileElsewhereIsWrittenThrough)
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("mine.ini");
    writeBytes(target, "[S]\nk=1\n");
    ASSERT_TRUE(QFile::link(target, path()));
    ASSERT_TRUE(ini().write("S", "k", "2"));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(readBytes(target), QByteArray("[S]\nk=2\n"));
    EXPECT_EQ(folderEntries(elsewhere.path()), QStringList{"mine.ini"});
}

// A user's link to a file of root elsewhere: root running in the user's folder must not
// overwrite that file, nor replace the link.
TEST_F(FileSafetyIni, LinkToAnotherUsersFileOutsideTheFolderIsRefused)
{
    if (!isRoot())
        GTEST_SKIP() << "needs root to make a link that belongs to another user";
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("system.ini");
    const QByteArray original = "[S]\nk=1\n";
    writeBytes(target, original);
    ASSERT_TRUE(QFile::link(target, path()));
    giveToNobody(m_dir.path());

    ASSERT_EQ(::chmod(native(target).constData(), 0444), 0);

    // Asked to make the file writable first (as Save of Daynight.txt does), it still refuses,
    // and leaves the mode as it was.
    for (const WriteOptions options : {WriteOptions{}, WriteOptions{.makeWritable = true}}) {
        QString error;
        EXPECT_FALSE(IniFile(path(), options).write("S", "k", "2", &error));
        EXPECT_TRUE(error.contains("belongs to another user")) << error.toStdString();
        EXPECT_TRUE(error.contains(target)) << error.toStdString();
        EXPECT_EQ(writeProblem(path(), options), error);
        EXPECT_EQ(statOf(target).st_mode & 07777, 0444u);
    }
    EXPECT_EQ(readBytes(target), original);
    EXPECT_EQ(statOf(target).st_uid, 0u);
    EXPECT_EQ(QFileInfo(path()).symLinkTarget(), target);
    EXPECT_EQ(folderEntries(elsewhere.path()), QStringList{"system.ini"});
}

TEST_F(FileSafetyIni, LinkToAMissingFileIsRefused)
{
    ASSERT_TRUE(QFile::link(m_dir.filePath("missing.ini"), path()));
    QString error;
    EXPECT_FALSE(writeFileAtomically(path(), "[S]\nk=1\n", &error));
    EXPECT_TRUE(error.contains("does not exist")) << error.toStdString();
    EXPECT_EQ(writeProblem(path()), error);
    EXPECT_EQ(entries(), QStringList{"config.ini"});
}

// ---------------------------------------------------------------------------------------------
// Links and races as root

// Swaps `folder` for a link to `other` and back, as fast as it can, until it is killed.
pid_t startSwapping(const QString &folder, const QString &other)
{
    std::fflush(nullptr);
    const pid_t swapper = ::fork();
    if (swapper != 0)
        return swapper;
    if (::setgroups(0, nullptr) != 0 || ::setgid(NobodyGroup) != 0 || ::setuid(NobodyUser) != 0)
        ::_exit(3);
    const QByteArray real = native(folder);
    const QByteArray parked = real + ".parked";
    for (;;) {
        if (::rename(real.constData(), parked.constData()) != 0)
            ::_exit(4);
        (void)::symlink(native(other).constData(), real.constData());
        (void)::unlink(real.constData());
        (void)::rename(parked.constData(), real.constData());
    }
}

// A user's config.ini links to a file in a folder of the user's that the user keeps swapping
// for a link to a folder only root may write. Root's writes go into the folder checked or are
// refused: root's folder is never written into.
TEST_F(FileSafetyIni, AFolderSwappedForALinkIsNeverWrittenInto)
{
    if (!isRoot())
        GTEST_SKIP() << "needs root writing through another user's link";
    QTemporaryDir home;
    QTemporaryDir rootOnly;
    const QByteArray rootBytes = "[Root]\nk=1\n";
    writeBytes(rootOnly.filePath("config.ini"), rootBytes);
    ASSERT_EQ(::chmod(native(rootOnly.path()).constData(), 0700), 0);
    const QString folder = home.filePath("settings");
    ASSERT_TRUE(QDir().mkdir(folder));
    writeBytes(folder + "/config.ini", "[Ports]\nCOM1=0\n");
    ASSERT_TRUE(QFile::link(folder + "/config.ini", path()));
    for (const QString &owned : {m_dir.path(), home.path(), folder})
        giveToNobody(owned);

    const pid_t swapper = startSwapping(folder, rootOnly.path());
    int written = 0;
    for (int run = 0; run < 2000; ++run)
        written += ini().write("Ports", "COM1", QString::number(run)) ? 1 : 0;
    ::kill(swapper, SIGKILL);
    int status = 0;
    ::waitpid(swapper, &status, 0);

    EXPECT_TRUE(WIFSIGNALED(status)) << "the swapper stopped early: " << WEXITSTATUS(status);
    EXPECT_EQ(readBytes(rootOnly.filePath("config.ini")), rootBytes);
    EXPECT_EQ(folderEntries(rootOnly.path()), QStringList{"config.ini"});
    // Nor is root's file read into the user's: what is changed is the file written.
    const QString parked = folder + ".parked";
    const QString users = (QFileInfo::exists(parked) ? parked : folder) + "/config.ini";
    EXPECT_FALSE(readBytes(users).contains("[Root]")) << readBytes(users).toStdString();
    EXPECT_TRUE(readBytes(users).startsWith("[Ports]")) << readBytes(users).toStdString();
    EXPECT_GT(written, 0) << "no write went through at all";
}

// ---------------------------------------------------------------------------------------------
// Read-only files

struct ReadOnlyCase {
    const char *name;
    bool asUser;           // the folder and file are nobody's, and nobody writes
    mode_t mode;
    bool makeWritable;
    const char *refusal;   // nullptr: written
    mode_t modeAfter;
};

constexpr ReadOnlyCase ReadOnlyCases[] = {
    {"root, 0444", false, 0444, false, "it is read-only", 0444},
    {"root, 0000", false, 0000, false, "it is read-only", 0000},
    {"user, 0444", true, 0444, false, "it is read-only", 0444},
    {"user, 0000", true, 0000, false, "it is read-only", 0000},
    {"root, 0444, made writable", false, 0444, true, nullptr, 0644},
    {"user, 0440, made writable", true, 0440, true, nullptr, 0640},
    {"user, 0644", true, 0644, false, nullptr, 0644},
};

// A file without a write bit is refused unchanged, as root too, unless the write is asked to
// make it writable; writeProblem() foretells the outcome.
TEST_F(FileSafetyIni, ReadOnlyFilesAreRefusedUnlessMadeWritable)
{
    const QByteArray original = "[S]\nk=1\n";
    for (const ReadOnlyCase &row : ReadOnlyCases) {
        writeBytes(path(), original);
        ASSERT_EQ(::chmod(native(path()).constData(), row.mode), 0);
        if (row.asUser)
            giveToNobody(m_dir.path());
        const auto attempt = [&] {
            const WriteOptions options{.makeWritable = row.makeWritable};
            const QString problem = writeProblem(path(), options);
            QString error;
            const bool written = writeFileAtomically(path(), "[S]\nk=2\n", &error, options);
            EXPECT_EQ(written, row.refusal == nullptr) << row.name << ": " << error.toStdString();
            EXPECT_EQ(problem, error) << row.name;
            if (row.refusal)
                EXPECT_EQ(error, "cannot write " + path() + ": " + row.refusal) << row.name;
        };
        if (row.asUser)
            EXPECT_TRUE(asOrdinaryUser(attempt)) << row.name;
        else
            attempt();
        EXPECT_EQ(statOf(path()).st_mode & 07777, row.modeAfter) << row.name;
        EXPECT_EQ(readBytes(path()), row.refusal ? original : QByteArray("[S]\nk=2\n")) << row.name;
        EXPECT_EQ(entries(), QStringList{"config.ini"}) << row.name;
        ::chown(native(m_dir.path()).constData(), ::getuid(), ::getgid());
        QFile::remove(path());
    }
}

// ---------------------------------------------------------------------------------------------
// Special files

struct SpecialFile {
    const char *name;
    std::function<bool(const QString &path)> make;
    const char *reason;
};

const SpecialFile SpecialFiles[] = {
    {"a link to /dev/zero", [](const QString &path) { return QFile::link("/dev/zero", path); }, "it is not a regular file"},
    {"a FIFO", [](const QString &path) { return ::mkfifo(native(path).constData(), 0644) == 0; }, "it is not a regular file"},
    {"a folder", [](const QString &path) { return QDir().mkdir(path); }, "it is a folder"},
    {"a file beyond 16 MB",
     [](const QString &path) {
         QFile file(path);
         return file.open(QIODevice::WriteOnly) && file.resize(MaxDataFileSize + 1);
     },
     "it is larger than 16 MB"},
};

// A data file that is no regular file, or far too large, is refused with its name at once by
// every reader: nothing blocks on a FIFO or fills the memory from /dev/zero. The commands say
// why config.ini cannot be read; config-path still answers.
TEST(FileSafetyRead, SpecialFilesAreRefusedWithTheirNameAtOnce)
{
    for (const SpecialFile &row : SpecialFiles) {
        ScratchDataDir data;
        const QString config = data.file("config.ini");
        ASSERT_TRUE(QFile::remove(config));
        ASSERT_TRUE(row.make(config)) << row.name;
        QString error;
        EXPECT_FALSE(readFileBytes(config, &error)) << row.name;
        EXPECT_EQ(error, config + ": " + row.reason) << row.name;
        EXPECT_EQ(configReadError(), "cannot read " + error) << row.name;
        EXPECT_TRUE(configFile().section("Ports").isEmpty()) << row.name;
        EXPECT_FALSE(configFile().write("Ports", "COM1", "/dev/null", &error)) << row.name;
        EXPECT_TRUE(error.contains(config)) << row.name << ": " << error.toStdString();

        const CliRun path = runCli(data, {"config-path"});
        EXPECT_EQ(path.exitCode, 0) << row.name << "\n" << path;
        const CliRun check = runCli(data, {"check"});
        EXPECT_EQ(check.exitCode, 2) << row.name << "\n" << check;
        EXPECT_TRUE(check.err.contains("cannot read " + config + ": " + row.reason)) << row.name << "\n" << check;
    }
    QString error;
    EXPECT_EQ(readFileBytesOrEmpty("/nonexistent/config.ini", &error), QByteArray());
    EXPECT_FALSE(readFileBytes("/nonexistent/config.ini", &error));
    EXPECT_EQ(error, "/nonexistent/config.ini: No such file or directory");
}

// ---------------------------------------------------------------------------------------------
// Locks and leftovers

// A writer killed right after creating its lock file leaves it empty; it must not hold back
// the next writer (the next write used to wait for it and fail).
TEST_F(FileSafetyIni, EmptyLockFileOfAKilledWriterDoesNotBlock)
{
    writeBytes(path(), "[S]\nk=1\n");
    writeBytes(path() + ".lock", QByteArray());
    QElapsedTimer elapsed;
    elapsed.start();
    QString error;
    ASSERT_TRUE(ini().write("S", "k", "2", &error)) << error.toStdString();
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_EQ(readBytes(path()), QByteArray("[S]\nk=2\n"));
    EXPECT_EQ(entries(), QStringList{"config.ini"}) << "the lock file is removed";
}

TEST_F(FileSafetyIni, LockOfALiveHolderIsHeldUntilItsHolderIsKilled)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::fflush(nullptr);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const FileWriteLock lock(path());
        const char state = lock.locked() ? 'L' : 'F';
        if (::write(ready[1], &state, 1) == 1)
            ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(state, 'L');

    {
        const FileWriteLock other(path(), 0);
        EXPECT_FALSE(other.locked());
        EXPECT_TRUE(other.error().contains("being written by another program")) << other.error().toStdString();
    }
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);

    const FileWriteLock after(path(), 0);
    EXPECT_TRUE(after.locked()) << after.error().toStdString();
}

TEST_F(FileSafetyIni, TemporaryFilesOfAnInterruptedWriteAreRemovedByTheNext)
{
    writeBytes(path(), "[S]\nk=1\n");
    writeBytes(m_dir.filePath(".config.ini.AbC123.tmp"), "[S]\nk=");
    writeBytes(m_dir.filePath(".config.ini.zzzzzz.tmp"), QByteArray());
    // Not temporary files of config.ini: kept.
    writeBytes(m_dir.filePath(".other.ini.AbC123.tmp"), "x");
    writeBytes(m_dir.filePath(".config.ini.bak"), "x");
    writeBytes(m_dir.filePath(".config.ini.toolong7.tmp"), "x");

    ASSERT_TRUE(ini().write("S", "k", "2"));
    EXPECT_EQ(entries(), (QStringList{".config.ini.bak", ".config.ini.toolong7.tmp", ".other.ini.AbC123.tmp", "config.ini"}));
}

// A temporary file whose writer is still at work (it holds the file's lock) is left alone.
TEST_F(FileSafetyIni, TemporaryFileOfALiveWriterIsKept)
{
    writeBytes(path(), "[S]\nk=1\n");
    const QString live = m_dir.filePath(".config.ini.LiVe12.tmp");
    writeBytes(live, "[S]\n");
    const int fd = ::open(native(live).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);

    ASSERT_TRUE(ini().write("S", "k", "2"));
    EXPECT_TRUE(QFile::exists(live));

    ::close(fd);
    ASSERT_TRUE(ini().write("S", "k", "3"));
    EXPECT_EQ(entries(), QStringList{"config.ini"});
}

// ---------------------------------------------------------------------------------------------
// Reading config.ini

TEST(FileSafetyConfig, ConfigThatCannotBeReadSaysWhy)
{
    ScratchDataDir data;
    EXPECT_EQ(configReadError(), QString()) << "a readable file";
    QFile::remove(data.file("config.ini"));
    EXPECT_EQ(configReadError(), QString()) << "a missing file reads as empty";

    ASSERT_TRUE(QDir(data.path()).mkdir("config.ini"));
    EXPECT_EQ(configReadError(), "cannot read " + configFilePath() + ": it is a folder");
    ASSERT_TRUE(QDir(data.path()).rmdir("config.ini"));

    data.writeConfig("[Settings]\nPort=2\n");
    ASSERT_EQ(::chmod(native(data.file("config.ini")).constData(), 0200), 0);
    giveToNobody(data.path());
    const bool ran = asOrdinaryUser([] {
        EXPECT_EQ(configReadError(), "cannot read " + configFilePath() + ": Permission denied");
    });
    EXPECT_TRUE(ran) << "the part run as an ordinary user failed (see above)";
}

// config.ini holds the admin password: a new one is its owner's only, whatever the umask; an
// existing one keeps the mode its owner gave it.
TEST(FileSafetyConfig, ANewConfigIsForItsOwnerOnly)
{
    ScratchDataDir data;
    const QString config = data.file("config.ini");
    for (const mode_t mask : {0022u, 0000u, 0077u}) {
        ASSERT_TRUE(QFile::remove(config));
        const mode_t previous = ::umask(mask);
        const bool written = configFile().write("Settings", "admin", "secret");
        ::umask(previous);
        ASSERT_TRUE(written) << std::oct << mask;
        EXPECT_EQ(statOf(config).st_mode & 07777, 0600u) << std::oct << mask;
    }
    ASSERT_EQ(::chmod(native(config).constData(), 0640), 0);
    ASSERT_TRUE(configFile().write("Settings", "admin", "other"));
    EXPECT_EQ(statOf(config).st_mode & 07777, 0640u);
}

// ---------------------------------------------------------------------------------------------
// kestrix-cli


// Lets kestrix-cli write files only up to `bytes`, with SIGXFSZ as a program finds it: the
// program itself must keep it from ending it.
ChildSetup bareFileSizeLimit(long long bytes)
{
    return [bytes] {
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{rlim_t(bytes), rlim_t(bytes)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
}

struct MapPortRefusal {
    const char *name;
    mode_t folderMode;
    mode_t configMode;
    bool asUser;
    ChildSetup (*setup)();
    const char *reason;
};

const MapPortRefusal MapPortRefusals[] = {
    {"a folder that is not writable", 0555, 0644, true, asNobody, "Permission denied"},
    {"a read-only config.ini, as a user", 0755, 0444, true, asNobody, "it is read-only"},
    {"a read-only config.ini, as root", 0755, 0444, false, nullptr, "it is read-only"},
    {"no room to write", 0755, 0644, false, [] { return bareFileSizeLimit(64); }, "File too large"},
};

// map-port that cannot write config.ini says "File Opening Error!" with the file and the
// reason, exits 2 and leaves the file as it was.
TEST(FileSafetyCli, MapPortThatCannotWriteSaysWhyAndExits2)
{
    for (const MapPortRefusal &row : MapPortRefusals) {
        ScratchDataDir data;
        const QString config = data.file("config.ini");
        const QByteArray original = readBytes(config);
        if (row.asUser)
            giveToNobody(data.path());
        ASSERT_EQ(::chmod(native(config).constData(), row.configMode), 0);
        ASSERT_EQ(::chmod(native(data.path()).constData(), row.folderMode), 0);

        const CliRun run = runCli(data, {"map-port", "3", "/dev/null"}, row.setup ? row.setup() : ChildSetup{});
        ::chmod(native(data.path()).constData(), 0755);

        EXPECT_EQ(run.exitCode, 2) << row.name << "\n" << run;
        EXPECT_TRUE(run.err.contains("File Opening Error! cannot write " + config + ": ")) << row.name << "\n" << run;
        EXPECT_TRUE(run.err.contains(row.reason)) << row.name << "\n" << run;
        EXPECT_EQ(readBytes(config), original) << row.name;
    }
}

TEST(FileSafetyCli, UnreadableConfigSaysCannotReadInsteadOfNoPort)
{
    ScratchDataDir data;
    data.writeConfig("[Settings]\nPort=2\nBaud=2\n");
    ASSERT_EQ(::chmod(native(data.file("config.ini")).constData(), 0200), 0);
    giveToNobody(data.path());
    const QString expected = "cannot read " + data.file("config.ini") + ": Permission denied";

    // Without config.ini neither the port nor, for --port, the port's device is known.
    for (const QStringList &arguments : {QStringList{"check"}, QStringList{"check", "--port", "3"}}) {
        const CliRun run = runCli(data, arguments, asNobody());
        EXPECT_EQ(run.exitCode, 2) << run;
        EXPECT_TRUE(run.err.contains(expected)) << run;
        EXPECT_FALSE(run.err.contains("No port is configured")) << run;
    }
}

// The moments of a write at which the kill test stops the writer: an event in the folder.
struct Moment {
    uint32_t event;
    const char *name;   // the file's name, or its beginning for a temporary file
};

constexpr Moment KillMoments[] = {
    {IN_CREATE, "config.ini.lock"}, {IN_CREATE, ".config.ini."},   {IN_ATTRIB, ".config.ini."},
    {IN_MODIFY, ".config.ini."},    {IN_MOVED_TO, "config.ini"},    {IN_DELETE, "config.ini.lock"},
};

bool matches(const inotify_event &event, const Moment &moment)
{
    const QByteArray name(event.len ? event.name : "");
    const QByteArray wanted(moment.name);
    const bool named = wanted.endsWith('.') ? name.startsWith(wanted) : name == wanted;
    return (event.mask & moment.event) && named;
}

// Waits up to 10 s for `moment` in the watched folder.
bool waitForMoment(int watch, const Moment &moment)
{
    QElapsedTimer elapsed;
    elapsed.start();
    alignas(inotify_event) char buffer[4096];
    while (elapsed.elapsed() < 10000) {
        pollfd ready{watch, POLLIN, 0};
        if (::poll(&ready, 1, int(10000 - elapsed.elapsed())) <= 0)
            continue;
        const ssize_t length = ::read(watch, buffer, sizeof buffer);
        for (ssize_t at = 0; at < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (matches(*event, moment))
                return true;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    return false;
}

void drain(int watch)
{
    char buffer[4096];
    while (::read(watch, buffer, sizeof buffer) > 0) {
    }
}

// Writers of config.ini killed at each moment of a write: the file is always the old or the
// new one, and the next write succeeds at once and leaves nothing behind.
TEST(FileSafetyCli, KilledWritersLeaveAWholeFileAndNothingThatBlocks)
{
    ScratchDataDir data;
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, native(data.path()).constData(),
                                  IN_CREATE | IN_ATTRIB | IN_MODIFY | IN_MOVED_TO | IN_DELETE), 0);
    const QStringList shipped = folderEntries(data.path());
    int leftBehind = 0;
    for (int kill = 0; kill < 20; ++kill) {
        const QString port = QString::number(kill % 20 + 1);
        const QString device = QStringLiteral("/dev/kill-test-%1").arg(kill);
        const QByteArray before = readBytes(data.file("config.ini"));
        drain(watch);
        QProcess writer;
        startCli(writer, data, {"map-port", port, device});
        ASSERT_TRUE(writer.waitForStarted());
        const Moment &moment = KillMoments[kill % std::size(KillMoments)];
        EXPECT_TRUE(waitForMoment(watch, moment)) << "kill " << kill << ": the write never reached its moment";
        ::kill(pid_t(writer.processId()), SIGKILL);
        writer.waitForFinished();
        const QByteArray killed = readBytes(data.file("config.ini"));
        if (folderEntries(data.path()) != shipped)
            ++leftBehind;

        const CliRun next = runCli(data, {"map-port", port, device});
        EXPECT_EQ(next.exitCode, 0) << "kill " << kill << "\n" << next;
        EXPECT_LT(next.elapsedMs, 2000) << "kill " << kill << ": the next write waited for a lock";
        const QByteArray after = readBytes(data.file("config.ini"));
        EXPECT_TRUE(after.contains(("COM" + port + "=" + device).toUtf8())) << after.toStdString();
        EXPECT_TRUE(killed == before || killed == after) << "kill " << kill << ":\n" << killed.toStdString();
        EXPECT_EQ(folderEntries(data.path()), shipped) << "kill " << kill;
    }
    ::close(watch);
    // Some kills must land inside a write (a lock or temporary file left), or nothing was tested.
    EXPECT_GT(leftBehind, 0);
}

} // namespace
