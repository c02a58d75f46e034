// Measures what the utility adds to the pauses the protocol prescribes: runs the communication
// check and a port scan against a simulated board (a separate process, so its work is not
// counted) and prints wall time, prescribed pauses, their ratio and the processor time used.

#include "base/config_file.h"
#include "comm/serial_settings.h"
#include "base/language.h"
#include "comm/operation.h"
#include "comm/port_scan.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <ctime>
#include <functional>

using namespace kestrix;

namespace {

constexpr int BoardPort = 3;

double processorMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

struct Measurement {
    double wallMs = 0;
    double prescribedMs = 0;
    double processorMs = 0;
};

Measurement measure(int runs, const std::function<void(Sleeper &)> &operation)
{
    RecordingSleeper sleeper(/*alsoSleep=*/true);
    QElapsedTimer wall;
    const double cpuBefore = processorMs();
    wall.start();
    for (int run = 0; run < runs; ++run)
        operation(sleeper);
    return {double(wall.nsecsElapsed()) / 1e6 / runs, double(sleeper.total()) / runs,
            (processorMs() - cpuBefore) / runs};
}

void print(const char *name, const Measurement &m)
{
    std::printf("%-22s %10.1f %14.1f %8.4f %14.2f\n", name, m.wallMs, m.prescribedMs,
                m.wallMs / m.prescribedMs, m.processorMs);
}

// Starts kestrix-board-sim, which answers at every speed, and returns its device.
QString startBoard(QProcess &board, const QString &folder)
{
    const QString deviceFile = QDir(folder).filePath(QStringLiteral("device"));
    board.setProgram(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kestrix-board-sim")));
    board.setArguments({QStringLiteral("--speed"), QStringLiteral("0"), QStringLiteral("--device-file"), deviceFile});
    board.setStandardOutputFile(QProcess::nullDevice());
    board.start();
    for (int wait = 0; wait < 100 && !QFile::exists(deviceFile); ++wait)
        QThread::msleep(20);
    QFile file(deviceFile);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir folder;
    setDataDir(folder.path());
    LoadLanguage(QStringLiteral("english"), QCoreApplication::applicationDirPath());
    for (int port = 1; port <= PortCount; ++port)
        mapPortToDevice(port, QStringLiteral("/nonexistent/bench-port-%1").arg(port));

    QProcess board;
    const QString device = startBoard(board, folder.path());
    if (device.isEmpty()) {
        std::fprintf(stderr, "comm_bench: the simulated board did not start\n");
        return 1;
    }
    mapPortToDevice(BoardPort, device);

    RecordingReporter reporter;
    std::printf("%-22s %10s %14s %8s %14s\n", "operation", "wall ms", "prescribed ms", "ratio", "processor ms");
    print("communication check", measure(runs, [&](Sleeper &sleeper) {
              Operation(SerialSettings{BoardPort, 9600}, reporter, StatusForm::mainWindow(), sleeper).CheckCommunication();
          }));
    print("port scan (80 tries)", measure(std::max(1, runs / 5), [&](Sleeper &sleeper) {
              scanPorts(SerialSettings{}, reporter, sleeper);
          }));
    board.terminate();
    board.waitForFinished(2000);
    return 0;
}
