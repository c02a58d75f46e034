#pragma once
// Helpers shared by the suites: a scratch data folder with the shipped language files and a
// config.ini, and a simulated board mapped to a port number.

#include "base/config_file.h"
#include "comm/serial_settings.h"
#include "comm/sleeper.h"
#include "board_sim.h"
#include "support/timeouts.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Failing QString comparisons print as text.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace kestrix::testing {

// The sleeper every operation of the suites pauses through unless a test gives its own: it
// records the protocol's pauses instead of waiting them. It is cleared after each test.
RecordingSleeper &suiteSleeper();

// While it lives, operations not given a sleeper pause through `sleeper`; then through the one
// before it again.
class Pace {
public:
    explicit Pace(Sleeper &sleeper) : m_previous(defaultSleeper()) { setDefaultSleeper(sleeper); }
    ~Pace() { setDefaultSleeper(m_previous); }
    Pace(const Pace &) = delete;
    Pace &operator=(const Pace &) = delete;

private:
    Sleeper &m_previous;
};

// The protocol's pauses waited for real, as the programs do: for the few tests whose point is
// the real pace.
class RealPace : public Pace {
public:
    RealPace() : Pace(realSleeper()) {}
};

// A fresh data folder holding copies of the shipped files; made the current data folder for
// the lifetime of the object, with English tables loaded.
class ScratchDataDir {
public:
    ScratchDataDir();
    ~ScratchDataDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    // Writes config.ini with the given text, followed by a [Ports] section that maps every
    // port to a device that does not exist (startBoardOn maps a board over one of them).
    void writeConfig(const QString &text) const;
    QString readConfig() const;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// The preamble and the communication test as the board receives them.
inline const std::string Sm7 = "\x1bSM7\r";
inline const std::string TestFrame = "\x1bTS?\r";

// The frames the board received, once it has read the expected ones: a frame that gets no
// answer may still be on its way when the operation returns.
std::vector<std::string> received(const sim::BoardSim &board, size_t expected);

// A simulated board, started, and mapped to COM<port> in the current data folder.
std::unique_ptr<sim::BoardSim> startBoardOn(int port, int speed = 9600);

// A file's bytes; empty when it cannot be read.
QByteArray readBytes(const QString &path);
// Replaces a file's bytes; a file that cannot be opened fails the test.
void writeBytes(const QString &path, const QByteArray &bytes);

} // namespace kestrix::testing
