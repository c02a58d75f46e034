#pragma once
// Helpers for suites that run our programs or other processes: kestrix-cli with a data folder,
// a child that runs as an ordinary user, another program holding a device open.

#include "support/test_support.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <ostream>
#include <sys/types.h>

namespace kestrix::testing {

// The ordinary user and group root's children drop to.
inline constexpr uid_t NobodyUser = 65534;
inline constexpr gid_t NobodyGroup = 65534;

bool isRoot();

// A program built beside the test executables, e.g. "kestrix-cli".
QString programBesideTests(const char *name);

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
    qint64 elapsedMs = 0;
};

std::ostream &operator<<(std::ostream &stream, const CliRun &run);

// Runs in the child between fork and exec.
using ChildSetup = std::function<void()>;
// Drops root's privileges to nobody (nothing for an ordinary user).
ChildSetup asNobody();
// Lets the child write files only up to `bytes`; a longer write fails instead of ending it.
ChildSetup fileSizeLimit(long long bytes);

// Starts the kestrix-cli program with `data` as its data folder.
void startCli(QProcess &process, const ScratchDataDir &data, const QStringList &arguments, ChildSetup setup = {});
// Runs kestrix-cli's command line with `data` as its data folder to its end (a scan of every
// port included). Without a child setup it runs in this process, its output collected and its
// pauses recorded by the suite's sleeper; with one, the program runs in a child process that
// the setup prepares, at the protocol's own pace.
CliRun runCli(const ScratchDataDir &data, const QStringList &arguments, ChildSetup setup = {});
// Runs the command line in this process, its output collected.
CliRun runCliHere(const ScratchDataDir &data, const QStringList &arguments);
// Runs the kestrix-cli program to its end in a child process, at the protocol's own pace.
CliRun runCliProgram(const ScratchDataDir &data, const QStringList &arguments, ChildSetup setup = {});

// Runs `body` in a forked child that drops root's privileges to nobody (an ordinary user runs it
// as itself). True when the child ran it to its end without a failed expectation.
bool asOrdinaryUser(const std::function<void()> &body);

// Another program with a device open and no lock on it: `cat` writing into it, reading nothing.
class OtherProgram {
public:
    explicit OtherProgram(const QString &device);
    ~OtherProgram();
    bool started() { return m_process.waitForStarted(); }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
};

} // namespace kestrix::testing
