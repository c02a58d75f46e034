// kestrix-cli info [--clear [--password-stdin]]: reads the board's information variables named
// in vars.txt and prints them as name<TAB>value lines; with --clear, first checks the password of
// config.ini [Settings] admin and sets every variable to zero, printing the board's answers.

#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/language.h"
#include "base/texts.h"
#include "info/info_transfer.h"
#include "info/info_variables.h"

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace kestrix::cli {

namespace {

const QString ClearFlag = QStringLiteral("clear");
const QString PasswordStdinFlag = QStringLiteral("password-stdin");
// The value of a variable of which a register did not answer.
const QString NoAnswerMark = QStringLiteral("(no answer)");

// The variables of vars.txt (at most 50, with a warning for the lines beyond); nothing, after
// "File Opening Error!" and the path, when the file cannot be read.
std::optional<std::vector<InfoVariable>> loadVariables()
{
    QString error;
    const std::optional<InfoVariableFile> file = loadInfoVariables(infoVariableFilePath(), &error);
    if (!file) {
        printStatus(LookupText(Text::FileOpenError) + u' ' + error);
        return std::nullopt;
    }
    if (file->droppedLines > 0)
        printStatus(LookupText(Text::InfoLinesNotLoaded).arg(file->droppedLines));
    return file->variables;
}

// Every variable as name<TAB>value, once the job ran; NoBoard when any of them did not answer.
int printValues(const std::vector<InfoVariable> &variables, const JobResult<InfoValues> &result)
{
    if (result.ending.ran()) {
        for (std::size_t i = 0; i < variables.size() && i < result.data.values.size(); ++i)
            printResult(variables[i].name + u'\t' + result.data.values[i].value_or(NoAnswerMark));
    }
    return exitStatusOf(result.ending.outcome);
}

using InfoJob = BoardJob<InfoValues> (*)(std::vector<InfoVariable>);

int transfer(const Options &options, const std::vector<InfoVariable> &variables, InfoJob job)
{
    return withBoard(options, [&variables, job](Operation &operation, const SerialSettings &) {
        return printValues(variables, operation.run(job(variables)));
    });
}

volatile std::sig_atomic_t promptInterrupted = 0;

extern "C" void onPromptInterrupt(int)
{
    promptInterrupted = 1;
}

// One line from a file descriptor, without its line end; nothing when a signal interrupted the
// reading. The end of the input ends the line.
std::optional<std::string> readLine(int fd)
{
    std::string line;
    char byte = 0;
    for (;;) {
        const ssize_t n = ::read(fd, &byte, 1);
        if (n < 0 && errno == EINTR) {
            if (promptInterrupted)
                return std::nullopt;
            continue;
        }
        if (n <= 0 || byte == '\n')
            break;
        line += byte;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// Asks on the terminal with echo off. Ctrl-C and SIGTERM interrupt the reading (no restart) and
// the terminal gets its echo back in every case.
std::optional<std::string> promptWithoutEcho()
{
    termios saved{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    std::fprintf(stderr, "Password: ");
    std::fflush(stderr);
    struct sigaction interrupt = {};
    interrupt.sa_handler = onPromptInterrupt;
    sigemptyset(&interrupt.sa_mask);
    struct sigaction previousInt = {};
    struct sigaction previousTerm = {};
    promptInterrupted = 0;
    ::sigaction(SIGINT, &interrupt, &previousInt);
    ::sigaction(SIGTERM, &interrupt, &previousTerm);
    if (terminal) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    const std::optional<std::string> line = readLine(STDIN_FILENO);
    if (terminal)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    ::sigaction(SIGINT, &previousInt, nullptr);
    ::sigaction(SIGTERM, &previousTerm, nullptr);
    std::fprintf(stderr, "\n");
    return line;
}

// The password typed (or, with --password-stdin, the first line of standard input); nothing
// when Ctrl-C stopped the prompt.
std::optional<QString> enteredPassword(const Options &options)
{
    const std::optional<std::string> line =
        options.has(PasswordStdinFlag) ? readLine(STDIN_FILENO) : promptWithoutEcho();
    return line ? std::optional<QString>(QString::fromLocal8Bit(line->data(), qsizetype(line->size())))
                : std::nullopt;
}

// Clears only for the stored password; refusals send nothing and exit NoBoard.
int clear(const Options &options, const std::vector<InfoVariable> &variables)
{
    const QString stored = storedClearingPassword();
    if (stored.isEmpty()) {
        printStatus(QStringLiteral("Clearing is not possible: config.ini has no password ([Settings] admin)."));
        return NoBoard;
    }
    if (!options.has(PasswordStdinFlag) && !::isatty(STDIN_FILENO))
        return usageErrorOf(QStringLiteral("info --clear: standard input is not a terminal; give --password-stdin"));
    const std::optional<QString> entered = enteredPassword(options);
    if (!entered) {
        printStatus(LookupText(Text::OperationCancelled));
        return Cancelled;
    }
    if (!passwordAllowsClearing(stored, *entered)) {
        printStatus(LookupText(Text::WrongPassword));
        return NoBoard;
    }
    return transfer(options, variables, informationClearingJob);
}

} // namespace

int runInfo(const Options &options)
{
    if (options.has(PasswordStdinFlag) && !options.has(ClearFlag))
        return usageErrorOf(QStringLiteral("info: --password-stdin goes only with --clear"));
    const std::optional<std::vector<InfoVariable>> variables = loadVariables();
    if (!variables)
        return PortFailure;
    if (options.has(ClearFlag))
        return clear(options, *variables);
    return transfer(options, *variables, informationDownloadJob);
}

} // namespace kestrix::cli
