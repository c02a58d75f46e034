#include "support/process_support.h"

#include "base/config_file.h"
#include "cli/command_line.h"
#include "cli/console_reporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <csignal>
#include <cstdio>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrix::testing {

namespace {

void dropToNobody()
{
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(NobodyGroup) != 0 || ::setuid(NobodyUser) != 0))
        ::_exit(126);
}

} // namespace

bool isRoot()
{
    return ::geteuid() == 0;
}

QString programBesideTests(const char *name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(name));
}

std::ostream &operator<<(std::ostream &stream, const CliRun &run)
{
    return stream << "exit " << run.exitCode << "\nstdout:\n" << run.out.toStdString() << "\nstderr:\n"
                  << run.err.toStdString();
}

ChildSetup asNobody()
{
    return dropToNobody;
}

ChildSetup fileSizeLimit(long long bytes)
{
    return [bytes] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(bytes), rlim_t(bytes)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
}

void startCli(QProcess &process, const ScratchDataDir &data, const QStringList &arguments, ChildSetup setup)
{
    process.setProgram(programBesideTests("kestrix-cli"));
    process.setArguments(QStringList{"--data-dir", data.path()} + arguments);
    if (setup)
        process.setChildProcessModifier(setup);
    process.start();
}

CliRun runCli(const ScratchDataDir &data, const QStringList &arguments, ChildSetup setup)
{
    return setup ? runCliProgram(data, arguments, std::move(setup)) : runCliHere(data, arguments);
}

CliRun runCliHere(const ScratchDataDir &data, const QStringList &arguments)
{
    const QString dataFolder = dataDir();
    QByteArray out;
    QByteArray err;
    cli::collectPrinted(&out, &err);
    QElapsedTimer elapsed;
    elapsed.start();
    CliRun run;
    run.exitCode = cli::runCommandLine(QStringList{"kestrix-cli", "--data-dir", data.path()} + arguments);
    run.elapsedMs = elapsed.elapsed();
    cli::collectPrinted(nullptr, nullptr);
    setDataDir(dataFolder);
    run.out = QString::fromLocal8Bit(out);
    run.err = QString::fromLocal8Bit(err);
    return run;
}

CliRun runCliProgram(const ScratchDataDir &data, const QStringList &arguments, ChildSetup setup)
{
    QProcess process;
    QElapsedTimer elapsed;
    elapsed.start();
    startCli(process, data, arguments, std::move(setup));
    CliRun run;
    if (!process.waitForStarted() || !process.waitForFinished(Timeout::ProcessRun)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "kestrix-cli did not run to its end: " << process.errorString().toStdString();
        return run;
    }
    run.elapsedMs = elapsed.elapsed();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

bool asOrdinaryUser(const std::function<void()> &body)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        if (isRoot() && (::setgroups(0, nullptr) != 0 || ::setgid(NobodyGroup) != 0 || ::setuid(NobodyUser) != 0))
            ::_exit(3);
        body();
        std::fflush(nullptr);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

OtherProgram::OtherProgram(const QString &device)
{
    m_process.setStandardOutputFile(device);
    m_process.start("cat", {});
}

OtherProgram::~OtherProgram()
{
    m_process.closeWriteChannel();
    m_process.waitForFinished();
}

} // namespace kestrix::testing
