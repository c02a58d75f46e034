// Start-up of the main window against bare Qt dialogs: how long until the window has been
// painted, and how much memory it took by then (peak resident set), each as a ratio to
// bare_dialog showing a dialog that holds the same number and kinds of widgets as the main
// window (counted from the window in this run), and, on a second line, to an empty one. All run
// on Qt's offscreen platform as processes of their own, alternately, several times; the medians
// are compared.
//
//   startup_bench [runs]      runs of each program (default 11), after one warm-up run each
//
// The main window runs in this program (startup_bench --main-window DATA_DIR), started as
// `kestrix` starts it: the data folder, the configured language, the icon, then the window. Its
// widgets are counted in another such process (startup_bench --count-widgets DATA_DIR), so that
// this one stays small: a child's peak memory starts at its parent's. The time is taken from launching a process until it reports its first paint on standard
// output, so loading the libraries counts too; the programs' own count from the start of main
// is shown beside it.

#include "app/main_window.h"
#include "base/config_file.h"
#include "base/language.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QScrollArea>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <sstream>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double Goal = 1.3;
constexpr int PaintTimeoutMs = 30000;

struct Run {
    double launchToPaintMs = 0;  // from posix_spawn until the line arrives
    double mainToPaintMs = 0;    // as the program counts it
    double maxRssMb = 0;
};

// The folder of this executable; the programs measured are built beside it.
fs::path ownFolder()
{
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path() : self.parent_path();
}

struct Child {
    pid_t pid = -1;
    int output = -1;  // its standard output
};

// Starts the program with its standard output on a pipe and its standard error discarded.
// nullopt, after a message, when it cannot be started.
std::optional<Child> spawn(const std::vector<std::string> &command)
{
    std::vector<char *> argv;
    for (const std::string &part : command)
        argv.push_back(const_cast<char *>(part.c_str()));
    argv.push_back(nullptr);

    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        std::perror("startup_bench: pipe");
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    Child child;
    const int spawned = ::posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (spawned != 0) {
        std::fprintf(stderr, "startup_bench: cannot start %s: %s\n", argv[0], std::strerror(spawned));
        ::close(output[0]);
        return std::nullopt;
    }
    child.output = output[0];
    return child;
}

// Reads the child's output until its first line is complete (or, with `all`, until it ends);
// the time of the line's end, nothing when it did not come in time.
std::optional<Clock::time_point> readOutput(int fd, std::string &text, bool all = false)
{
    std::optional<Clock::time_point> lineEnd;
    while (!lineEnd || all) {
        pollfd ready{fd, POLLIN, 0};
        const int count = ::poll(&ready, 1, PaintTimeoutMs);
        if (count < 0 && errno == EINTR)
            continue;
        char chunk[4096];
        const ssize_t read = count > 0 ? ::read(fd, chunk, sizeof chunk) : 0;
        if (read <= 0)
            break;
        text.append(chunk, size_t(read));
        if (!lineEnd && text.find('\n') != std::string::npos)
            lineEnd = Clock::now();
    }
    return lineEnd;
}

// Waits for the child's end; false when it did not end on its own with status 0.
bool endedCleanly(pid_t pid, rusage &usage)
{
    int status = 0;
    return ::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs the program until it reports its first paint and ends. nullopt, after a message, when it
// does not start, says nothing in time or fails.
std::optional<Run> runOnce(const std::vector<std::string> &command)
{
    const Clock::time_point launched = Clock::now();
    const std::optional<Child> child = spawn(command);
    if (!child)
        return std::nullopt;
    // The time is taken when the line's end arrives.
    std::string text;
    const std::optional<Clock::time_point> painted = readOutput(child->output, text);
    ::close(child->output);
    if (!painted)
        ::kill(child->pid, SIGKILL);
    rusage usage{};
    if (!endedCleanly(child->pid, usage) || !painted) {
        std::fprintf(stderr, "startup_bench: %s did not report a paint and end cleanly\n", command[0].c_str());
        return std::nullopt;
    }
    Run run;
    run.launchToPaintMs = std::chrono::duration<double, std::milli>(*painted - launched).count();
    if (std::sscanf(text.c_str(), "painted after %lf ms", &run.mainToPaintMs) != 1) {
        std::fprintf(stderr, "startup_bench: %s printed \"%s\"\n", command[0].c_str(), text.c_str());
        return std::nullopt;
    }
    // Kilobytes on Linux. A child's peak starts at this program's own (the kernel carries it
    // over at exec), so this program builds no window itself and stays far below.
    run.maxRssMb = double(usage.ru_maxrss) / 1024.0;
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Summary {
    double launchToPaintMs;
    double mainToPaintMs;
    double maxRssMb;
};

Summary summarise(const std::vector<Run> &runs)
{
    std::vector<double> launch, main, rss;
    for (const Run &run : runs) {
        launch.push_back(run.launchToPaintMs);
        main.push_back(run.mainToPaintMs);
        rss.push_back(run.maxRssMb);
    }
    return {median(launch), median(main), median(rss)};
}

// A data folder of the bench's own: the shipped files and a config.ini naming English, so
// that neither the operator's settings nor an earlier run change what starts.
std::optional<fs::path> makeDataFolder(const fs::path &shipped)
{
    char pattern[] = "/tmp/kestrix-startup-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("startup_bench: mkdtemp");
        return std::nullopt;
    }
    const fs::path folder = pattern;
    std::error_code error;
    for (const fs::directory_entry &entry : fs::directory_iterator(shipped, error)) {
        const std::string extension = entry.path().extension().string();
        if (extension == ".ini" || extension == ".bmp" || extension == ".png" || extension == ".txt")
            fs::copy_file(entry.path(), folder / entry.path().filename(), fs::copy_options::overwrite_existing, error);
    }
    std::ofstream(folder / "config.ini", std::ios::trunc) << "[System]\r\nLanguage=english\r\n";
    return folder;
}

// ---------------------------------------------------------------------------------------------
// The main window, in a process of its own

// Prints the time since the start of main once the window's first paint has been handled (the
// paint of a window draws its children in the same pass), then closes it.
class FirstPaint : public QObject {
public:
    FirstPaint(QDialog &window, const QElapsedTimer &sinceStart) : m_window(window), m_sinceStart(sinceStart)
    {
        window.installEventFilter(this);
    }
    bool painted() const { return m_painted; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(this, [this] {
                m_painted = true;
                std::printf("painted after %.1f ms\n", double(m_sinceStart.nsecsElapsed()) / 1e6);
                std::fflush(stdout);
                m_window.reject();
            }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    QDialog &m_window;
    const QElapsedTimer &m_sinceStart;
    bool m_painted = false;
};

// What kestrix does before it builds its window: the data folder, the configured language and
// the icon.
void prepareAsKestrix(const char *dataDir)
{
    QApplication::setApplicationName(QStringLiteral("kestrix"));
    kestrix::setDataDir(QString::fromLocal8Bit(dataDir));
    kestrix::LoadLanguageOrShipped(kestrix::configuredLanguage());
    const QString icon = kestrix::resourceFilePath(QStringLiteral("kestrix.png"));
    if (QFileInfo::exists(icon))
        QApplication::setWindowIcon(QIcon(icon));
}

// startup_bench --main-window DATA_DIR: shows the main window until its first paint.
int showMainWindow(int argc, char **argv, const QElapsedTimer &sinceStart)
{
    QApplication app(argc, argv);
    prepareAsKestrix(argv[2]);
    kestrix::MainWindow window;
    FirstPaint firstPaint(window, sinceStart);
    QTimer::singleShot(PaintTimeoutMs, &window, &QDialog::reject);
    window.exec();
    return firstPaint.painted() ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// The main window's widgets, for the dialog that holds as many of each kind

// Kinds as bare_dialog makes them, the more derived before their bases. Qt's own widgets come
// with parts of their own (a spin box's line edit, a scroll area's bars), which bare_dialog's
// widgets have too, so they are not counted again; the children of plain containers and of
// our own widgets built on them are. A scroll area counts, and what its content holds.
enum class Inside { QtParts, Counted, ScrollContent };

struct WidgetKind {
    const char *name;
    Inside inside;
};

constexpr WidgetKind WidgetKinds[] = {
    {"QPlainTextEdit", Inside::QtParts}, {"QTextEdit", Inside::QtParts},      {"QPushButton", Inside::QtParts},
    {"QCheckBox", Inside::QtParts},      {"QRadioButton", Inside::QtParts},   {"QToolButton", Inside::QtParts},
    {"QComboBox", Inside::QtParts},      {"QSpinBox", Inside::QtParts},       {"QDoubleSpinBox", Inside::QtParts},
    {"QDateTimeEdit", Inside::QtParts},  {"QLineEdit", Inside::QtParts},      {"QProgressBar", Inside::QtParts},
    {"QSlider", Inside::QtParts},        {"QScrollBar", Inside::QtParts},     {"QLabel", Inside::QtParts},
    {"QGroupBox", Inside::Counted},      {"QScrollArea", Inside::ScrollContent}, {"QFrame", Inside::Counted},
    {"QWidget", Inside::Counted},
};

const WidgetKind &kindOf(const QWidget &widget)
{
    for (const WidgetKind &kind : WidgetKinds) {
        if (widget.inherits(kind.name))
            return kind;
    }
    return WidgetKinds[std::size(WidgetKinds) - 1];
}

using Inventory = std::map<std::string, int>;

void countChildren(const QWidget &parent, Inventory &inventory);

void count(const QWidget &widget, Inventory &inventory)
{
    if (widget.isWindow())
        return;  // a dialog or a list's pop-up that merely has the window as its parent
    const WidgetKind &kind = kindOf(widget);
    ++inventory[kind.name];
    if (kind.inside == Inside::Counted) {
        countChildren(widget, inventory);
    } else if (kind.inside == Inside::ScrollContent) {
        // bare_dialog gives its grid a content widget too: only what is in it counts.
        if (const QWidget *content = qobject_cast<const QScrollArea *>(&widget)->widget())
            countChildren(*content, inventory);
    }
}

void countChildren(const QWidget &parent, Inventory &inventory)
{
    for (const QObject *child : parent.children()) {
        if (child->isWidgetType())
            count(*static_cast<const QWidget *>(child), inventory);
    }
}

// "QLabel=52,QPushButton=40", as bare_dialog takes it.
std::string widgetList(const Inventory &inventory)
{
    std::string list;
    for (const auto &[name, number] : inventory)
        list += (list.empty() ? "" : ",") + name + "=" + std::to_string(number);
    return list;
}

// startup_bench --count-widgets DATA_DIR: builds the main window as --main-window does and
// prints its size and widgets, "784x750 QLabel=52,QPushButton=40".
int printMainWindowShape(int argc, char **argv)
{
    QApplication app(argc, argv);
    prepareAsKestrix(argv[2]);
    kestrix::MainWindow window;
    Inventory widgets;
    countChildren(window, widgets);
    std::printf("%dx%d %s\n", window.width(), window.height(), widgetList(widgets).c_str());
    return 0;
}

struct WindowShape {
    std::string size;     // "784x750"
    std::string widgets;  // "QLabel=52,QPushButton=40"
};

// The main window's shape, from a process of its own, so that this one stays small.
std::optional<WindowShape> mainWindowShape(const fs::path &bin, const fs::path &data)
{
    const std::optional<Child> child = spawn({(bin / "startup_bench").string(), "--count-widgets", data.string()});
    if (!child)
        return std::nullopt;
    std::string text;
    readOutput(child->output, text, true);
    ::close(child->output);
    rusage usage{};
    const size_t space = text.find(' ');
    if (!endedCleanly(child->pid, usage) || space == std::string::npos || text.back() != '\n') {
        std::fprintf(stderr, "startup_bench: the main window's widgets could not be counted\n");
        return std::nullopt;
    }
    return WindowShape{text.substr(0, space), text.substr(space + 1, text.size() - space - 2)};
}

// ---------------------------------------------------------------------------------------------
// Measuring

// A program and its runs.
struct Measured {
    const char *name;
    std::vector<std::string> command;
    std::vector<Run> runs;
};

// One warm-up run each (libraries and fonts into the page cache), then the programs alternate.
bool measure(std::vector<Measured> &programs, int runs)
{
    for (int round = -1; round < runs; ++round) {
        for (Measured &program : programs) {
            const std::optional<Run> run = runOnce(program.command);
            if (!run)
                return false;
            if (round >= 0)
                program.runs.push_back(*run);
        }
    }
    return true;
}

// "main window 784x750, 281 widgets: 101 QLabel, 44 QLineEdit, ..."
void printWidgets(const WindowShape &shape)
{
    int total = 0;
    std::string kinds;
    std::istringstream list(shape.widgets);
    for (std::string entry; std::getline(list, entry, ',');) {
        const size_t equals = entry.find('=');
        total += std::atoi(entry.c_str() + equals + 1);
        kinds += (kinds.empty() ? "" : ", ") + entry.substr(equals + 1) + " " + entry.substr(0, equals);
    }
    std::printf("main window %s, %d widgets: %s\n", shape.size.c_str(), total, kinds.c_str());
}

// The main window's ratios to a reference; judged against the goal or shown only.
void printRatios(const Summary &window, const char *reference, const Summary &s, bool judged)
{
    const double time = window.launchToPaintMs / s.launchToPaintMs;
    const double memory = window.maxRssMb / s.maxRssMb;
    auto verdict = [judged](double ratio) { return judged ? (ratio <= Goal ? " (met)" : " (MISS)") : ""; };
    std::printf("main window / %-15s time %.3f%s  memory %.3f%s\n", reference, time, verdict(time), memory,
                verdict(memory));
}

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc == 3 && std::strcmp(argv[1], "--main-window") == 0)
        return showMainWindow(argc, argv, sinceStart);
    if (argc == 3 && std::strcmp(argv[1], "--count-widgets") == 0)
        return printMainWindowShape(argc, argv);

    int runs = 11;
    if (argc > 2 || (argc == 2 && (std::sscanf(argv[1], "%d", &runs) != 1 || runs < 1))) {
        std::fprintf(stderr, "Usage: startup_bench [runs]   (runs: a whole number from 1 on)\n");
        return 2;
    }
    const fs::path bin = ownFolder();
    const std::optional<fs::path> data = makeDataFolder(bin);
    if (!data)
        return 1;
    const std::optional<WindowShape> shape = mainWindowShape(bin, *data);
    const std::string bare = (bin / "bare_dialog").string();
    std::vector<Measured> programs = {
        {"main window", {(bin / "startup_bench").string(), "--main-window", data->string()}, {}},
        {"matched dialog", {bare, "--widgets", shape ? shape->widgets : "", "--size", shape ? shape->size : ""}, {}},
        {"empty dialog", {bare}, {}},
    };
    const bool measured = shape && measure(programs, runs);
    std::error_code error;
    fs::remove_all(*data, error);
    if (!measured)
        return 1;

    printWidgets(*shape);
    std::printf("%-16s %5s %17s %15s %12s\n", "program", "runs", "launch-paint ms", "main-paint ms", "max RSS MB");
    std::vector<Summary> summaries;
    for (const Measured &program : programs) {
        const Summary &s = summaries.emplace_back(summarise(program.runs));
        std::printf("%-16s %5d %17.1f %15.1f %12.1f\n", program.name, runs, s.launchToPaintMs, s.mainToPaintMs,
                    s.maxRssMb);
    }
    printRatios(summaries[0], "matched dialog:", summaries[1], true);
    printRatios(summaries[0], "empty dialog:", summaries[2], false);
    const bool met = summaries[0].launchToPaintMs <= Goal * summaries[1].launchToPaintMs
                     && summaries[0].maxRssMb <= Goal * summaries[1].maxRssMb;
    std::printf("medians; time from launch to the first paint; goal <= %.1f against the matched dialog: %s\n",
                Goal, met ? "met" : "missed");
    return 0;
}
