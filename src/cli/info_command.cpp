// kestrix-cli info [--clear [--password-stdin]]: reads the board's information variables named
// in vars.txt and prints them as name<TAB>value lines; with --clear, first checks the password of
// config.ini [Settings] admin and sets every variable to zero, printing the board's answers. A
// password line is at most 1024 bytes; Ctrl-C and SIGTERM end its reading.

#include "cli/commands.h"
#include "cli/console_reporter.h"

#include "base/language.h"
#include "base/texts.h"
#include "info/held_password.h"
#include "info/info_transfer.h"
#include "info/info_variables.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <csignal>
#include <poll.h>
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

volatile std::sig_atomic_t readingInterrupted = 0;

extern "C" void onReadingInterrupt(int)
{
    readingInterrupted = 1;
}

// While a password is read, Ctrl-C and SIGTERM end the reading: their handlers do not restart
// the read, and one that came before the reading began (the console's) counts as well. The
// handlers before are back afterwards.
class InterruptsEndReading {
public:
    InterruptsEndReading()
    {
        struct sigaction interrupt = {};
        interrupt.sa_handler = onReadingInterrupt;
        sigemptyset(&interrupt.sa_mask);
        readingInterrupted = 0;
        ::sigaction(SIGINT, &interrupt, &m_previousInt);
        ::sigaction(SIGTERM, &interrupt, &m_previousTerm);
    }
    ~InterruptsEndReading()
    {
        ::sigaction(SIGINT, &m_previousInt, nullptr);
        ::sigaction(SIGTERM, &m_previousTerm, nullptr);
    }
    InterruptsEndReading(const InterruptsEndReading &) = delete;
    InterruptsEndReading &operator=(const InterruptsEndReading &) = delete;

    static bool interrupted() { return readingInterrupted || ConsoleReporter().cancelled(); }

private:
    struct sigaction m_previousInt = {};
    struct sigaction m_previousTerm = {};
};

// How long one wait for input lasts before the interrupt flags are looked at again: a signal
// that arrives just before the wait begins ends the reading this late at most.
constexpr int InterruptPollMs = 100;

// One password line in a buffer of its own, overwritten when it goes; no line end.
struct PasswordLine {
    enum class End { Read, TooLong, Interrupted };
    End end = End::Read;
    std::array<char, MaxPasswordBytes> bytes{};
    std::size_t size = 0;

    PasswordLine() = default;
    PasswordLine(const PasswordLine &) = delete;
    PasswordLine &operator=(const PasswordLine &) = delete;
    ~PasswordLine() { wipeBytes(bytes.data(), bytes.size()); }
};

// The next byte of `fd`; nothing at the end of the input or on an error, or when interrupted.
std::optional<char> nextByte(int fd)
{
    for (;;) {
        if (InterruptsEndReading::interrupted())
            return std::nullopt;
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, InterruptPollMs);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            continue;
        char byte = 0;
        const ssize_t n = ready < 0 ? -1 : ::read(fd, &byte, 1);
        if (n < 0 && errno == EINTR)
            continue;
        return n == 1 ? std::optional<char>(byte) : std::nullopt;
    }
}

// One line from a file descriptor, up to LF or the end of the input, a CR before the LF
// dropped. A line beyond MaxPasswordBytes is not read to its end.
void readLine(int fd, PasswordLine &line)
{
    for (std::optional<char> byte = nextByte(fd); byte && *byte != '\n'; byte = nextByte(fd)) {
        if (line.size == line.bytes.size()) {
            line.end = PasswordLine::End::TooLong;
            return;
        }
        line.bytes[line.size++] = *byte;
    }
    if (InterruptsEndReading::interrupted())
        line.end = PasswordLine::End::Interrupted;
    else if (line.size > 0 && line.bytes[line.size - 1] == '\r')
        --line.size;
}

// Asks on the terminal with echo off; the terminal gets its echo back in every case.
void promptWithoutEcho(PasswordLine &line)
{
    termios saved{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    std::fprintf(stderr, "Password: ");
    std::fflush(stderr);
    if (terminal) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    readLine(STDIN_FILENO, line);
    if (terminal)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fprintf(stderr, "\n");
}

// The password typed (or, with --password-stdin, the first line of standard input).
void readPassword(const Options &options, PasswordLine &line)
{
    const InterruptsEndReading interrupts;
    if (options.has(PasswordStdinFlag))
        readLine(STDIN_FILENO, line);
    else
        promptWithoutEcho(line);
}

// The exit status of a password that does not clear, after its message; nothing for the stored
// one. The entered text is wiped before this returns.
std::optional<int> refusalOf(const PasswordLine &line, const QString &stored)
{
    if (line.end == PasswordLine::End::Interrupted) {
        printStatus(LookupText(Text::OperationCancelled));
        return Cancelled;
    }
    if (line.end == PasswordLine::End::TooLong) {
        printStatus(LookupText(Text::PasswordTooLong).arg(MaxPasswordBytes));
        return NoBoard;
    }
    const WipedText entered(QString::fromLocal8Bit(line.bytes.data(), qsizetype(line.size)));
    if (!passwordAllowsClearing(stored, entered.text)) {
        printStatus(LookupText(Text::WrongPassword));
        return NoBoard;
    }
    return std::nullopt;
}

// Asks for the password and compares it with the stored one; both are held, without core
// dumps, only meanwhile. Refusals send nothing and exit NoBoard; nothing when clearing may go on.
std::optional<int> passwordRefusal(const Options &options)
{
    const PasswordHold hold;
    const WipedText stored(storedClearingPassword());
    if (stored.text.isEmpty()) {
        printStatus(QStringLiteral("Clearing is not possible: config.ini has no password ([Settings] admin)."));
        return NoBoard;
    }
    if (!options.has(PasswordStdinFlag) && !::isatty(STDIN_FILENO))
        return usageErrorOf(QStringLiteral("info --clear: standard input is not a terminal; give --password-stdin"));
    PasswordLine line;
    readPassword(options, line);
    return refusalOf(line, stored.text);
}

// Clears only for the stored password.
int clear(const Options &options, const std::vector<InfoVariable> &variables)
{
    if (const std::optional<int> refusal = passwordRefusal(options))
        return *refusal;
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
