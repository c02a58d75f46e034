// Start-up of the utility against a bare Qt program: how long until `kestrix` has painted its
// main window, and how much memory it took by then (peak resident set), each as a ratio to
// bare_dialog, a program that only shows an empty QDialog. All run on Qt's offscreen platform,
// alternately, several times; the medians are compared. An empty dialog draws no text, so it
// never loads the font system; `bare_dialog --text` (one label) is shown beside it as the
// yardstick of a window that does.
//
//   startup_bench [runs]      runs of each program (default 11), after one warm-up run each
//
// The time is taken from launching the process until it reports its first paint on standard
// output, so loading the libraries counts too; the programs' own count from the start of main
// is shown beside it.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
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

// Runs the program until it reports its first paint and ends. nullopt, after a message, when it
// does not start, says nothing in time or fails.
std::optional<Run> runOnce(const std::vector<std::string> &command)
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
    pid_t pid = -1;
    const Clock::time_point launched = Clock::now();
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (spawned != 0) {
        std::fprintf(stderr, "startup_bench: cannot start %s: %s\n", argv[0], std::strerror(spawned));
        ::close(output[0]);
        return std::nullopt;
    }

    // Read until the line is complete; the time is taken when its end arrives.
    std::string text;
    std::optional<Clock::time_point> painted;
    while (!painted) {
        pollfd fd{output[0], POLLIN, 0};
        const int ready = ::poll(&fd, 1, PaintTimeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        char chunk[256];
        const ssize_t count = ready > 0 ? ::read(output[0], chunk, sizeof chunk) : 0;
        if (count <= 0)
            break;
        text.append(chunk, size_t(count));
        if (text.find('\n') != std::string::npos)
            painted = Clock::now();
    }
    ::close(output[0]);
    if (!painted)
        ::kill(pid, SIGKILL);

    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !painted || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "startup_bench: %s did not report a paint and end cleanly\n", argv[0]);
        return std::nullopt;
    }
    Run run;
    run.launchToPaintMs = std::chrono::duration<double, std::milli>(*painted - launched).count();
    if (std::sscanf(text.c_str(), "painted after %lf ms", &run.mainToPaintMs) != 1) {
        std::fprintf(stderr, "startup_bench: %s printed \"%s\"\n", argv[0], text.c_str());
        return std::nullopt;
    }
    run.maxRssMb = double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
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

} // namespace

int main(int argc, char **argv)
{
    int runs = 11;
    if (argc > 2 || (argc == 2 && (std::sscanf(argv[1], "%d", &runs) != 1 || runs < 1))) {
        std::fprintf(stderr, "Usage: startup_bench [runs]   (runs: a whole number from 1 on)\n");
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    const fs::path bin = ownFolder();
    const std::optional<fs::path> data = makeDataFolder(bin);
    if (!data)
        return 1;
    const std::vector<std::string> kestrix = {(bin / "kestrix").string(), "--data-dir", data->string(),
                                              "--exit-after-first-paint"};
    const std::vector<std::string> bare = {(bin / "bare_dialog").string()};
    const std::vector<std::string> bareText = {(bin / "bare_dialog").string(), "--text"};

    std::vector<Run> kestrixRuns, bareRuns, textRuns;
    bool ok = true;
    // One warm-up run each (libraries and fonts into the page cache), then alternate.
    for (int round = -1; round < runs && ok; ++round) {
        const std::optional<Run> k = runOnce(kestrix);
        const std::optional<Run> b = runOnce(bare);
        const std::optional<Run> t = runOnce(bareText);
        ok = k && b && t;
        if (ok && round >= 0) {
            kestrixRuns.push_back(*k);
            bareRuns.push_back(*b);
            textRuns.push_back(*t);
        }
    }
    std::error_code error;
    fs::remove_all(*data, error);
    if (!ok)
        return 1;

    const Summary k = summarise(kestrixRuns);
    const Summary b = summarise(bareRuns);
    const Summary t = summarise(textRuns);
    std::printf("%-20s %5s %17s %15s %12s\n", "program", "runs", "launch-paint ms", "main-paint ms", "max RSS MB");
    auto row = [runs](const char *name, const Summary &s) {
        std::printf("%-20s %5d %17.1f %15.1f %12.1f\n", name, runs, s.launchToPaintMs, s.mainToPaintMs, s.maxRssMb);
    };
    row("kestrix", k);
    row("bare_dialog", b);
    row("bare_dialog --text", t);
    auto ratios = [&k](const char *against, const Summary &s, bool judged) {
        const double time = k.launchToPaintMs / s.launchToPaintMs;
        const double memory = k.maxRssMb / s.maxRssMb;
        std::printf("kestrix / %-18s time %.3f%s  memory %.3f%s\n", against, time,
                    judged ? (time <= Goal ? " (met)" : " (MISS)") : "", memory,
                    judged ? (memory <= Goal ? " (met)" : " (MISS)") : "");
    };
    ratios("bare_dialog:", b, true);
    ratios("bare_dialog --text:", t, false);
    std::printf("medians; time from launch to the first paint; goal <= %.1f against the empty dialog\n", Goal);
    return 0;
}
