#include "base/config_file.h"

#include "base/atomic_file.h"
#include "base/file_read.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>
#include <cstdio>

#if defined(Q_OS_UNIX)
#include <dlfcn.h>
#include <sys/stat.h>
#endif

namespace kestrix {
namespace {

QMutex dataDirMutex;
QString dataDirOverride;

QMutex resolveMutex;
QString resolvedDataDir;

// A file every shipped folder holds.
const QLatin1String ShippedMarker("lng_english.ini");
// The shipped files a user edits, and the program too: a per-user folder gets its own copies.
// Language tables and pictures are the program's own and are read where they were installed,
// so an upgrade brings their new versions to every user.
const QStringList UserEditedFiles{QStringLiteral("Daynight.txt"), QStringLiteral("vars.txt")};

// Where an installed tree keeps the shipped files, relative to the programs' folder, and
// relative to the library's folder (<prefix>/lib or <prefix>/lib/<multiarch>).
const QStringList ProgramInstalledData{QStringLiteral("../share/kestrix")};
const QStringList LibraryInstalledData{QStringLiteral("../share/kestrix"), QStringLiteral("../../share/kestrix")};

// The folder of the executable or shared library that holds this code.
QString moduleDir()
{
#if defined(Q_OS_UNIX)
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void *>(&moduleDir), &info) != 0 && info.dli_fname) {
        const QString name = QFile::decodeName(info.dli_fname);
        // The main program is named as it was started; a bare name was found through PATH.
        if (name.contains(QLatin1Char('/')))
            return QFileInfo(name).absolutePath();
        const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
        if (!self.isEmpty())
            return QFileInfo(self).absolutePath();
    }
#endif
    return QDir::currentPath();
}

QString firstExisting(const QDir &base, const QStringList &relatives)
{
    for (const QString &relative : relatives) {
        const QString candidate = QDir::cleanPath(base.filePath(relative));
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    return {};
}

// Copies `source` to `target` unless `target` is there already, also when another program
// starting at the same moment copies it: writers of the same file take turns.
bool copyWithoutOverwriting(const QString &source, const QString &target, QString *error)
{
    const FileWriteLock lock(target);
    if (!lock.locked()) {
        *error = lock.error();
        return false;
    }
    if (QFileInfo::exists(target))
        return true;
    QString reason;
    const std::optional<QByteArray> bytes = readFileBytes(source, &reason);
    if (!bytes) {
        *error = QStringLiteral("cannot read %1").arg(reason);
        return false;
    }
    return writeFileAtomically(target, *bytes, error);
}

// The folder of the program, or of the library when no program of ours runs.
QDir moduleBase()
{
    return QDir(QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : moduleDir());
}

// A build tree keeps the shipped files beside the programs, and its data files are the
// developer's; an installed tree keeps them under <prefix>/share, where no program writes,
// root's neither: every user, root included, gets a folder of their own.
// Creates the folder (and its parents) unless it is there. It will hold config.ini with the
// admin password, so a new one is its owner's only (0700), whatever the umask.
bool makePrivateFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return true;
    const QString parent = QFileInfo(folder).absolutePath();
    if (!QDir().mkpath(parent))
        return false;
#if defined(Q_OS_UNIX)
    return ::mkdir(QFile::encodeName(folder).constData(), 0700) == 0 || QFileInfo(folder).isDir();
#else
    return QDir().mkdir(folder) || QFileInfo(folder).isDir();
#endif
}

QString resolveDataDir()
{
    const QString shipped = shippedDataDir();
    if (moduleBase().exists(ShippedMarker) && QFileInfo(shipped).isWritable())
        return shipped;
    const QString user = userDataDir();
    QString error;
    if (seedDataDir(shipped, user, &error))
        return user;
    std::fprintf(stderr, "kestrix: cannot set up the data folder %s (%s); reading the shipped files in %s\n",
                 qPrintable(user), qPrintable(error), qPrintable(shipped));
    return shipped;
}

QString defaultDataDir()
{
    QMutexLocker lock(&resolveMutex);
    if (resolvedDataDir.isEmpty())
        resolvedDataDir = resolveDataDir();
    return resolvedDataDir;
}

} // namespace

QString dataDir()
{
    {
        QMutexLocker lock(&dataDirMutex);
        if (!dataDirOverride.isEmpty())
            return dataDirOverride;
    }
    // Read each time: a program that loads the library may set it between two channels.
    const QString fromEnvironment = qEnvironmentVariable("KESTRIX_DATA_DIR");
    return fromEnvironment.isEmpty() ? defaultDataDir() : fromEnvironment;
}

void setDataDir(const QString &dir)
{
    QMutexLocker lock(&dataDirMutex);
    dataDirOverride = dir.isEmpty() ? QString() : QDir(dir).absolutePath();
}

bool applyDataDirOption(QStringList &arguments, QString *error)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const bool joined = argument.startsWith(QLatin1String("--data-dir="));
        if (!joined && argument != QLatin1String("--data-dir"))
            continue;
        const QString folder = joined ? argument.mid(11) : arguments.value(i + 1);
        if (folder.isEmpty() || folder.startsWith(QLatin1String("--"))) {
            if (error)
                *error = QStringLiteral("--data-dir needs a folder");
            return false;
        }
        setDataDir(folder);
        arguments.remove(i, joined ? 1 : 2);
        return true;
    }
    return true;
}

QString dataFilePath(const QString &name)
{
    return QDir(dataDir()).filePath(name);
}

QString resourceFilePath(const QString &name)
{
    const QString own = dataFilePath(name);
    return QFileInfo::exists(own) ? own : QDir(shippedDataDir()).filePath(name);
}

QString shippedDataDir()
{
    const bool inProgram = QCoreApplication::instance() != nullptr;
    const QDir base = moduleBase();
    if (base.exists(ShippedMarker))
        return base.path();
    const QString installed = firstExisting(base, inProgram ? ProgramInstalledData : LibraryInstalledData);
    return installed.isEmpty() ? base.path() : installed;
}

QString userDataDir()
{
    const QString generic = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return generic.isEmpty() ? QString() : QDir(generic).filePath(QStringLiteral("kestrix"));
}

bool seedDataDir(const QString &shipped, const QString &folder, QString *error)
{
    QString reason;
    if (folder.isEmpty() || !makePrivateFolder(folder)) {
        reason = folder.isEmpty() ? QStringLiteral("no home folder") : QStringLiteral("cannot create the folder");
    } else {
        const QDir from(shipped);
        for (const QString &name : from.entryList(UserEditedFiles, QDir::Files)) {
            const QString target = QDir(folder).filePath(name);
            if (!QFileInfo::exists(target) && !copyWithoutOverwriting(from.filePath(name), target, &reason))
                break;
        }
    }
    if (error)
        *error = reason;
    return reason.isEmpty();
}

QString configFilePath()
{
    return dataFilePath(QStringLiteral("config.ini"));
}

// It holds the admin password: a new one is for its owner's eyes only, whatever the umask.
IniFile configFile()
{
    return IniFile(configFilePath(), {.newFileMode = 0600});
}

QString configReadError()
{
    QString reason;
    if (!readFileBytesOrEmpty(configFilePath(), &reason))
        return QStringLiteral("cannot read %1").arg(reason);
    return {};
}

QString configuredLanguage()
{
    return configFile().read(QStringLiteral("System"), QStringLiteral("Language"), QStringLiteral("english"));
}

} // namespace kestrix
