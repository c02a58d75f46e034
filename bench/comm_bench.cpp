// Measures what the utility adds to the time the protocol itself takes. Each case runs a board
// operation against kestrix-board-sim (a separate process, so its work is not counted as ours)
// and compares the wall time with a floor computed here, from the protocol's rules alone: the
// pauses every frame must be followed by and the answer time-outs of a silent board. The floor
// does not come from the code under measurement, so a missing or extra pause shows as a
// ratio away from 1.
//
// Line time is not in the floor: the board sits on a pseudo-terminal, which passes bytes on at
// once whatever speed is set. (On a real line each byte costs ten bit times, 5.2 ms for a frame
// of five bytes at 9600 bps; the answers arrive within the pause after the write.)
//
//   comm_bench [runs]      runs per check and upload (default 5); the scans, the download and
//                          the day and night upload (about 18 s) run half as often, the alarm
//                          upload and download (about 56 s and 96 s each) and the day and night
//                          download (about 34 s) a fifth as often, each at least once
//   comm_bench runs case...  only the cases whose names contain one of the texts given
//
// The check, the view-times upload and the download also run through ser2net on loopback, in
// front of the same simulated board, once with Telnet and the RFC 2217 COM port option and
// once as raw TCP; their floor is the local one, so the ratio shows what the network line adds
// (ser2net itself holds the board's answers back by up to two character times). Without
// ser2net installed they are left out.
//
// The view-times upload on 8 boards and the alarm upload on 4 run one job per board side by
// side, each board a kestrix-board-sim process of its own and each job on the board's own
// queue (BoardQueue), as the application runs them. Their floor is one board's: boards on
// different lines wait for nothing from each other. Goal: a ratio of at most 1.05 and a
// processor time of at most 2 % of the wall time.
//
// Exit status 1 when a case ran faster than its floor (a pause the protocol requires is missing)
// or an upload or download did not complete (the alarm and day and night downloads: or read
// other values than the board was preset with).

#include "alarms/alarm_transfer.h"
#include "base/config_file.h"
#include "base/language.h"
#include "comm/board_queue.h"
#include "comm/operation.h"
#include "comm/port_scan.h"
#include "comm/serial_settings.h"
#include "daynight/daynight_transfer.h"
#include "export/display_exchange.h"
#include "params/parameter_download.h"
#include "params/parameter_upload.h"
// The suites' ser2net launcher, compiled in here: the benchmark links no test support.
#include "../tests/support/ser2net_support.h"
#include "../tests/support/ser2net_support.cpp"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace kestrix;

namespace {

constexpr int BoardPort = 3;
constexpr int ScanPorts = 20;
constexpr int ScanSpeeds[] = {2400, 4800, 9600, 19200};

// The floor of each exchange, in milliseconds, from the protocol's rules.
namespace Floor {
constexpr double AfterWrite = 150;       // every Send and every Query, once the frame is written
constexpr double AfterRead = 150;        // every Query, once its answer is read
constexpr double SilentBoard = 500;      // a Query's wait for a first byte that never comes
constexpr double AfterPreamble = 50;     // the preamble: pause, then close
constexpr double AfterClose = 50;        // the test and the version queries: close, then pause

constexpr double send()
{
    return AfterWrite;
}

// A board that answers does so at once; one that does not costs the whole first-byte wait.
constexpr double query(bool answered)
{
    return AfterWrite + (answered ? 0 : SilentBoard) + AfterRead;
}

// Open, ESC "SM7" CR, 50 ms, close.
constexpr double preamble()
{
    return send() + AfterPreamble;
}

// Open, ESC "TS?" CR with an answer of 5 bytes, close, 50 ms.
constexpr double test(bool answered)
{
    return query(answered) + AfterClose;
}

constexpr double check(bool answered)
{
    return preamble() + test(answered);
}

// The preamble, then the software (24 bytes) and the hardware (10 bytes) version queries, each
// on its own opening of the port followed by close and 50 ms.
constexpr double readVersions(bool answered)
{
    return preamble() + (query(answered) + AfterClose) + (query(answered) + AfterClose);
}

// Every port at every speed: a check on each port that opens, nothing on ports that do not
// exist; after a hit, the versions at the pair found (the last one that answered).
double scan(int boardPort, const std::function<bool(int speed)> &answersAt)
{
    double total = 0;
    std::optional<int> found;
    for (int port = 1; port <= ScanPorts; ++port) {
        if (port != boardPort)
            continue;
        for (int speed : ScanSpeeds) {
            total += check(answersAt(speed));
            if (answersAt(speed))
                found = speed;
        }
    }
    if (found)
        total += readVersions(true);
    return total;
}

static_assert(check(true) == 550 && check(false) == 1050 && readVersions(true) == 900);

constexpr double AfterCheckOk = 50;         // "Communication OK." shown, then the progress text
constexpr double AfterRegisterWrite = 30;   // a register write that reads its answer byte
constexpr double AfterDownloadRead = 10;    // each register read of the download

// An operation's envelope around its frames: the check, 50 ms, the preamble again, then open;
// after the frames, close.
constexpr double envelope(double frames)
{
    return check(true) + AfterCheckOk + preamble() + frames;
}

// View times: W008 th, then W009, W010, W098, W011, W491, W873, W874; 20 ms after the first
// write, 30 ms after each of the seven others.
constexpr double viewTimesUpload()
{
    return envelope((send() + 20) + 7 * (send() + 30));
}

// Byte map: W021 to W036, each waiting for its one answer byte and then 30 ms.
constexpr double byteMapUpload()
{
    return envelope(16 * (query(true) + AfterRegisterWrite));
}

// Download: R000-R006 for the clock box, then the 45 parameter registers, each read a query of
// one byte followed by 10 ms.
constexpr double download()
{
    return envelope((7 + 45) * (query(true) + AfterDownloadRead));
}

static_assert(viewTimesUpload() == 2230 && byteMapUpload() == 6080 && download() == 16920);

constexpr double AfterAlarmParameter = 10;   // each of W101-W106
constexpr double AfterAlarmEntry = 30;       // each hour, minute and type write

// Alarm upload of two full programs without markers: the six parameters, then hour, minute
// and type of each of the 2 x 50 entries, every one a Send without an answer.
constexpr double alarmUpload()
{
    return envelope(6 * (send() + AfterAlarmParameter) + 2 * 50 * 3 * (send() + AfterAlarmEntry));
}

// Alarm download from a board holding two full programs: R101-R106, then three reads for each
// of the 2 x 50 entries (no end marker stops it early), each a query of one byte and 10 ms.
constexpr double alarmDownload()
{
    return envelope((6 + 2 * 50 * 3) * (query(true) + AfterDownloadRead));
}

static_assert(alarmUpload() == 55760 && alarmDownload() == 95660);

constexpr int ScheduleRegisters = 106;      // W893-W998: brightness, 9 name characters, 96 times
constexpr double AfterScheduleWrite = 10;   // each write of the day and night upload
constexpr double AfterScheduleRead = 10;    // each read of the day and night download

// Day and night upload: the 106 registers, each a Send without an answer and 10 ms.
constexpr double dayNightUpload()
{
    return envelope(ScheduleRegisters * (send() + AfterScheduleWrite));
}

// Day and night download: R893-R998, each a query of one byte and 10 ms.
constexpr double dayNightDownload()
{
    return envelope(ScheduleRegisters * (query(true) + AfterScheduleRead));
}

static_assert(dayNightUpload() == 17760 && dayNightDownload() == 33660);

// A display line: the pause after the write, then its one-character answer, which a silent
// board makes the channel wait for in vain.
constexpr double displayLine(bool answered)
{
    return AfterWrite + (answered ? 0 : SilentBoard);
}

// Start line, rate line, end line, all accepted; from a silent board, five start lines.
constexpr double rateExchange(bool answered)
{
    return answered ? 3 * displayLine(true) : 5 * displayLine(false);
}

static_assert(rateExchange(true) == 450 && rateExchange(false) == 3250);
} // namespace Floor

double processorMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

// Processor time of another process, all threads together, in milliseconds; -1 when unknown.
// The scheduler's nanosecond counts where the kernel keeps them, else the clock ticks of stat.
double processorMsOf(qint64 pid)
{
    const QString process = QStringLiteral("/proc/%1").arg(pid);
    const QStringList threads = QDir(process + QStringLiteral("/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    double nanoseconds = 0;
    bool known = !threads.isEmpty();
    for (const QString &thread : threads) {
        QFile schedstat(process + QStringLiteral("/task/") + thread + QStringLiteral("/schedstat"));
        bool ok = schedstat.open(QIODevice::ReadOnly);
        if (ok)
            nanoseconds += schedstat.readAll().split(' ').value(0).toDouble(&ok);
        known = known && ok;
    }
    if (known)
        return nanoseconds / 1e6;

    QFile stat(process + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The fields after the command name, which ends at the last ')': utime and stime are the
    // 12th and 13th of them.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    return double(fields[11].toLongLong() + fields[12].toLongLong()) * 1000.0 / double(ticksPerSecond);
}

// kestrix-board-sim in a process of its own, mapped to BoardPort.
class Board {
public:
    explicit Board(const QStringList &arguments)
    {
        m_process.setProgram(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kestrix-board-sim")));
        m_process.setArguments(arguments);
        m_process.start();
        // The first line names the device, once the board serves it.
        const QByteArray prefix = "Simulated Kestrix board on ";
        while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
        }
        const QByteArray banner = m_process.readLine().trimmed();
        if (banner.startsWith(prefix))
            m_device = QString::fromUtf8(banner.mid(prefix.size(), banner.indexOf(" at ") - prefix.size()));
    }
    ~Board()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    QString device() const { return m_device; }
    double processorMs() const { return processorMsOf(m_process.processId()); }
    // Its frame log is not needed; reading it keeps the pipe from filling.
    void drain()
    {
        while (m_process.waitForReadyRead(0)) {
        }
        m_process.readAllStandardOutput();
    }

private:
    QProcess m_process;
    QString m_device;
};

// Two full alarm programs: hours 00-23 over and over, minutes and types varied, no markers;
// the parameters 10 to 15, two digits each as a download gives them back.
Alarms fullAlarms()
{
    Alarms alarms;
    for (int i = 0; i < AlarmParameterCount; ++i)
        alarms.parameters[std::size_t(i)] = QString::number(10 + i);
    for (int program = 0; program < AlarmProgramCount; ++program) {
        for (int slot = 0; slot < AlarmSlots; ++slot) {
            const int n = program * AlarmSlots + slot;
            alarms.programs[program][slot] = {QStringLiteral("%1").arg(n % 24, 2, 10, QLatin1Char('0')),
                                              QStringLiteral("%1").arg(n * 7 % 60, 2, 10, QLatin1Char('0')),
                                              QString::number(n % 2)};
        }
    }
    return alarms;
}

// The registers of a board that holds `alarms`, as kestrix-board-sim --preset-file reads them.
// The board keeps the decimal digits of a time or parameter as the byte's two hexadecimal
// digits (23 is 0x23) and a type in the upper digit (1 is 0x10).
QByteArray alarmRegisters(const Alarms &alarms)
{
    QByteArray lines;
    QTextStream out(&lines);
    for (int i = 0; i < AlarmParameterCount; ++i)
        out << alarmParameterTable()[std::size_t(i)].reg << '=' << alarms.parameters[std::size_t(i)] << '\n';
    for (int program = 0; program < AlarmProgramCount; ++program) {
        for (int slot = 0; slot < AlarmSlots; ++slot) {
            const AlarmEntry &entry = alarms.programs[program][slot];
            const int base = alarmEntryRegister(program, slot);
            out << base << '=' << entry.hour << '\n' << base + 1 << '=' << entry.minute << '\n'
                << base + 2 << '=' << entry.type << "0\n";
        }
    }
    out.flush();
    return lines;
}

// A full day and night schedule: brightness 50, a name of nine characters and 48 times, hours
// 00-23 and minutes 00-59 varied over the months, none unset.
DayNightSchedule fullSchedule()
{
    DayNightSchedule schedule{QStringLiteral("50"), QStringLiteral("Innsbruck"), {}};
    for (int time = 0; time < DayTimeCount; ++time) {
        for (int month = 0; month < MonthCount; ++month) {
            schedule.times[std::size_t(time)][std::size_t(month)] =
                QStringLiteral("%1%2")
                    .arg((5 + month + 3 * time) % 24, 2, 10, QLatin1Char('0'))
                    .arg((7 * month + 13 * time) % 60, 2, 10, QLatin1Char('0'));
        }
    }
    return schedule;
}

// The registers of a board that holds `schedule`: what an upload of it leaves there.
QByteArray scheduleRegisters(const DayNightSchedule &schedule)
{
    QByteArray lines;
    QTextStream out(&lines);
    for (int reg = FirstScheduleRegister; reg <= LastScheduleRegister; ++reg)
        out << reg << '=' << scheduleRegisterValue(schedule, reg) << '\n';
    out.flush();
    return lines;
}

// Writes a preset file for kestrix-board-sim --preset-file.
bool writePreset(const QString &path, const QByteArray &registers)
{
    QFile preset(path);
    if (preset.open(QIODevice::WriteOnly) && preset.write(registers) == registers.size())
        return true;
    std::fprintf(stderr, "comm_bench: cannot write %s\n", qPrintable(path));
    return false;
}

constexpr double Goal = 1.01;
constexpr double SideBySideGoal = 1.05;
constexpr double SideBySideProcessorShare = 0.02;

struct Case {
    const char *name;
    QStringList boardArguments;
    double floorMs;
    int runs;
    std::function<void()> operation;
    int boards = 1;                 // on ports 1 to `boards` when more than one, else on BoardPort
    double goal = Goal;             // the highest ratio that meets the goal
    double processorShare = 0;      // the most processor time per wall time; 0: not judged
};

struct Result {
    double wallMs = 0;       // median of the runs
    double processorMs = 0;  // per run, this process
    double boardMs = 0;      // per run, the boards' processes together
};

double processorMsOf(const std::vector<std::unique_ptr<Board>> &boards)
{
    double total = 0;
    for (const auto &board : boards)
        total += board->processorMs();
    return total;
}

Result measure(const Case &job, const std::vector<std::unique_ptr<Board>> &boards)
{
    std::vector<double> walls;
    const double cpuBefore = processorMs();
    const double boardBefore = processorMsOf(boards);
    for (int run = 0; run < job.runs; ++run) {
        QElapsedTimer wall;
        wall.start();
        job.operation();
        walls.push_back(double(wall.nsecsElapsed()) / 1e6);
        for (const auto &board : boards)
            board->drain();
    }
    std::sort(walls.begin(), walls.end());
    Result result;
    result.wallMs = walls[walls.size() / 2];
    result.processorMs = (processorMs() - cpuBefore) / job.runs;
    result.boardMs = (processorMsOf(boards) - boardBefore) / job.runs;
    return result;
}

constexpr int MostBoards = 8;

// One queue per board on ports 1 to MostBoards, made once: their worker threads wait in their
// event loops between the runs.
std::vector<std::unique_ptr<BoardQueue>> boardQueues()
{
    std::vector<std::unique_ptr<BoardQueue>> queues;
    for (int port = 1; port <= MostBoards; ++port)
        queues.push_back(std::make_unique<BoardQueue>(SerialSettings{port, 9600}));
    return queues;
}

// Submits one job from `makeJob` to each of the first `boards` queues at once and returns when
// all have ended; counts those that did not complete.
template <class MakeJob>
void sideBySide(const std::vector<std::unique_ptr<BoardQueue>> &queues, int boards, MakeJob makeJob, int &incomplete)
{
    QEventLoop loop;
    int running = boards;
    for (int i = 0; i < boards; ++i) {
        queues[size_t(i)]->submit(makeJob(), nullptr, [&](const auto &result) {
            if (!result.ending.completed())
                ++incomplete;
            if (--running == 0)
                loop.quit();
        });
    }
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = 5;
    if (argc > 1) {
        bool ok = false;
        runs = QString::fromLocal8Bit(argv[1]).toInt(&ok);
        if (!ok || runs < 1) {
            std::fprintf(stderr, "Usage: comm_bench [runs [case ...]]   (runs: a whole number from 1 on; cases: parts\n"
                                 "       of case names, all cases when none is given)\n");
            return 2;
        }
    }
    QStringList chosen;
    for (int i = 2; i < argc; ++i)
        chosen << QString::fromLocal8Bit(argv[i]);
    const auto wanted = [&chosen](const char *name) {
        return chosen.isEmpty()
            || std::any_of(chosen.cbegin(), chosen.cend(), [name](const QString &part) { return QLatin1String(name).contains(part); });
    };
    QTemporaryDir folder;
    setDataDir(folder.path());
    LoadLanguage(QStringLiteral("english"), QCoreApplication::applicationDirPath());
    for (int port = 1; port <= PortCount; ++port)
        mapPortToDevice(port, QStringLiteral("/nonexistent/bench-port-%1").arg(port));

    RecordingReporter reporter;
    auto checkAt9600 = [&] {
        Operation(SerialSettings{BoardPort, 9600}, reporter, StatusForm::mainWindow(), realSleeper()).CheckCommunication();
    };
    auto scan = [&] { scanPorts(SerialSettings{}, reporter, realSleeper()); };
    const int scanRuns = std::max(1, (runs + 1) / 2);
    // The uploads send a freshly opened window's values. An operation that does not complete, or
    // a download with a register unanswered, would measure something else: counted as a failure.
    ParameterValues values;
    int incomplete = 0;
    auto runJob = [&](const auto &job) {
        Operation operation(SerialSettings{BoardPort, 9600}, reporter, job.texts.form, realSleeper());
        return operation.run(job);
    };
    auto upload = [&](Group group) {
        if (!runJob(groupUploadJob(group, values)).ending.completed())
            ++incomplete;
    };
    auto viewTimes = [&] { upload(Group::ViewTimes); };
    auto byteMap = [&] { upload(Group::ByteMap); };
    auto download = [&] {
        if (!runJob(downloadJob()).ending.completed())
            ++incomplete;
    };
    // The alarm download must give back every time the board was preset with.
    const Alarms alarms = fullAlarms();
    const QString alarmPreset = QDir(folder.path()).filePath(QStringLiteral("alarms.preset"));
    if (!writePreset(alarmPreset, alarmRegisters(alarms)))
        return 1;
    auto alarmUpload = [&] {
        if (!runJob(alarmUploadJob(alarms)).ending.completed())
            ++incomplete;
    };
    auto alarmDownload = [&] {
        const JobResult<AlarmDownload> read = runJob(alarmDownloadJob());
        Alarms readBack;
        applyDownload(read.data, readBack);
        if (!read.ending.completed() || readBack.parameters != alarms.parameters || readBack.programs != alarms.programs)
            ++incomplete;
    };
    // Likewise the day and night download gives back the brightness, the name and every time.
    const DayNightSchedule schedule = fullSchedule();
    const QString schedulePreset = QDir(folder.path()).filePath(QStringLiteral("daynight.preset"));
    if (!writePreset(schedulePreset, scheduleRegisters(schedule)))
        return 1;
    auto dayNightUpload = [&] {
        if (!runJob(scheduleUploadJob(schedule)).ending.completed())
            ++incomplete;
    };
    auto dayNightDownload = [&] {
        const JobResult<DayNightDownload> read = runJob(scheduleDownloadJob());
        DayNightSchedule readBack;
        applyDownload(read.data, readBack);
        if (!read.ending.completed() || readBack.brightness != schedule.brightness || readBack.name != schedule.name
            || readBack.times != schedule.times)
            ++incomplete;
    };
    // A rate line on a channel the program opened, as a program using the library sends it.
    auto rateLine = [&](char expected) {
        SerialChannel channel;
        if (channel.Open(BoardPort, 9600) != SerialChannel::Opened) {
            ++incomplete;
            return;
        }
        if (display::DisplayExchange(channel).setCurrency(3, 1, 1.5, 1.4567) != expected)
            ++incomplete;
        channel.Close();
    };
    const int alarmRuns = std::max(1, runs / 5);
    const std::vector<std::unique_ptr<BoardQueue>> queues = boardQueues();
    auto viewTimesOn = [&](int boards) {
        sideBySide(queues, boards, [&] { return groupUploadJob(Group::ViewTimes, values); }, incomplete);
    };
    auto alarmUploadOn = [&](int boards) {
        sideBySide(queues, boards, [&] { return alarmUploadJob(alarms); }, incomplete);
    };
    const Case cases[] = {
        {"communication check", {"--speed", "0"}, Floor::check(true), runs, checkAt9600},
        {"scan, any speed", {"--speed", "0"}, Floor::scan(BoardPort, [](int) { return true; }), scanRuns, scan},
        {"silent check", {"--speed", "0", "--silent"}, Floor::check(false), runs, checkAt9600},
        {"scan, 9600 only", {"--speed", "9600"}, Floor::scan(BoardPort, [](int speed) { return speed == 9600; }),
         scanRuns, scan},
        {"view-times upload", {"--speed", "0"}, Floor::viewTimesUpload(), runs, viewTimes},
        {"byte-map upload", {"--speed", "0"}, Floor::byteMapUpload(), runs, byteMap},
        {"download", {"--speed", "0"}, Floor::download(), scanRuns, download},
        {"alarm upload", {"--speed", "0"}, Floor::alarmUpload(), alarmRuns, alarmUpload},
        {"alarm download", {"--speed", "0", "--preset-file", alarmPreset}, Floor::alarmDownload(), alarmRuns,
         alarmDownload},
        {"day-night upload", {"--speed", "0"}, Floor::dayNightUpload(), scanRuns, dayNightUpload},
        {"day-night download", {"--speed", "0", "--preset-file", schedulePreset}, Floor::dayNightDownload(),
         alarmRuns, dayNightDownload},
        {"rate line", {"--speed", "0"}, Floor::rateExchange(true), runs, [&] { rateLine('>'); }},
        {"silent rate line", {"--speed", "0", "--silent"}, Floor::rateExchange(false), scanRuns,
         [&] { rateLine(0); }},
        {"view-times upload on 8 boards", {"--speed", "0"}, Floor::viewTimesUpload(), runs, [&] { viewTimesOn(8); },
         8, SideBySideGoal, SideBySideProcessorShare},
        {"alarm upload on 4 boards", {"--speed", "0"}, Floor::alarmUpload(), alarmRuns, [&] { alarmUploadOn(4); }, 4,
         SideBySideGoal, SideBySideProcessorShare},
    };

    using testing::NetMode;
    struct NetworkCase {
        const char *name;
        NetMode mode;
        Case job;
    };
    auto named = [&cases](std::string_view name) -> const Case & {
        return *std::find_if(std::begin(cases), std::end(cases), [name](const Case &job) { return job.name == name; });
    };
    const NetworkCase networkCases[] = {
        {"check, rfc2217", NetMode::Rfc2217, named("communication check")},
        {"check, tcp", NetMode::RawTcp, named("communication check")},
        {"view-times, rfc2217", NetMode::Rfc2217, named("view-times upload")},
        {"view-times, tcp", NetMode::RawTcp, named("view-times upload")},
        {"download, rfc2217", NetMode::Rfc2217, named("download")},
        {"download, tcp", NetMode::RawTcp, named("download")},
    };

    std::printf("%-29s %5s %9s %9s %8s %5s %8s %9s\n", "case", "runs", "floor ms", "wall ms", "ratio", "goal",
                "cpu ms", "board ms");
    int failures = 0;
    // Runs a case on fresh boards, each on its pseudo-terminal, or through ser2net in front of
    // the one board.
    auto runCase = [&](const char *name, const Case &job, std::optional<NetMode> through) {
        std::vector<std::unique_ptr<Board>> boards;
        for (int i = 0; i < job.boards; ++i) {
            boards.push_back(std::make_unique<Board>(job.boardArguments));
            if (boards.back()->device().isEmpty()) {
                std::fprintf(stderr, "comm_bench: the simulated board did not start\n");
                return false;
            }
        }
        std::optional<testing::Ser2Net> server;
        if (through) {
            server.emplace(std::vector<testing::Ser2Net::Line>{{*through, boards.front()->device()}});
            if (!server->started()) {
                std::fprintf(stderr, "comm_bench: %s\n", qPrintable(server->error()));
                return false;
            }
        }
        const auto portOf = [&job](int i) { return job.boards > 1 ? i + 1 : BoardPort; };
        for (int i = 0; i < job.boards; ++i)
            mapPortToDevice(portOf(i), server ? server->address(0) : boards[size_t(i)]->device());
        const Result result = measure(job, boards);
        const double ratio = result.wallMs / job.floorMs;
        const bool met = ratio <= job.goal
            && (job.processorShare == 0 || result.processorMs <= job.processorShare * result.wallMs);
        std::printf("%-29s %5d %9.1f %9.1f %8.4f %5s %8.2f %9.2f\n", name, job.runs, job.floorMs, result.wallMs,
                    ratio, met ? "met" : "MISS", result.processorMs, result.boardMs);
        std::fflush(stdout);
        if (ratio < 1.0)
            ++failures;  // faster than the protocol allows: a pause is missing
        // The next case finds no board where these were.
        for (int i = 0; i < job.boards; ++i)
            mapPortToDevice(portOf(i), QStringLiteral("/nonexistent/bench-port-%1").arg(portOf(i)));
        return true;
    };
    for (const Case &job : cases) {
        if (wanted(job.name) && !runCase(job.name, job, std::nullopt))
            return 1;
    }
    if (testing::ser2netProgram().isEmpty()) {
        std::printf("(ser2net is not installed: the network line cases are left out)\n");
    } else {
        for (const NetworkCase &network : networkCases) {
            if (wanted(network.name) && !runCase(network.name, network.job, network.mode))
                return 1;
        }
    }
    std::printf("wall: median of the runs; goal: ratio <= %.2f; cpu: this process per run;\n"
                "board: processor time of the simulated boards per run; on N boards: one job per board side\n"
                "by side, floor of one board, goal: ratio <= %.2f and cpu <= %.0f %% of wall\n",
                Goal, SideBySideGoal, SideBySideProcessorShare * 100);
    if (failures)
        std::fprintf(stderr, "comm_bench: %d case(s) ran faster than the protocol's floor\n", failures);
    if (incomplete)
        std::fprintf(stderr, "comm_bench: %d upload or download run(s) did not complete\n", incomplete);
    return failures || incomplete ? 1 : 0;
}
