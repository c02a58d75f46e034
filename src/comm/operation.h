#pragma once
// The envelope every board operation is wrapped in: the communication check, status texts,
// the preamble, opening the channel, the operation's frames, closing and the final text.

#include "app/config_file.h"
#include "comm/reporter.h"
#include "comm/serial_channel.h"

#include <QString>
#include <functional>

namespace kestrix {

enum class Outcome {
    Completed,
    CommunicationFailed,  // the board did not answer the communication test
    PortError,            // the port could not be opened after a good check
};

struct EnvelopeTexts {
    int progress = 0;            // shown while the frames go out, e.g. "Uploading View times ..."
    int completion = 0;          // shown at the end, e.g. "View times uploaded."
    bool preambleAgain = true;   // send the preamble once more before opening
    bool goOnAfterFailedCheck = false;  // send the frames even when the check failed (PC time)
};

struct VersionTexts {
    QString software;   // "sw: ..." or empty
    QString hardware;   // "hw: ..." or empty
};

class Operation {
public:
    Operation(SerialSettings settings, Reporter &reporter, StatusForm form,
              Sleeper &sleeper = realSleeper());

    // "1" when a board answered the communication test with "Hello", else "0".
    QString CheckCommunication();
    // Opens, sends the preamble, pauses and closes; says nothing when the port fails.
    void SendSM7();
    // "W" + register + value, sent as a query of `count` bytes, then 30 ms.
    std::string WriteRegister(const std::string &reg, const std::string &value, int count);
    // Asks for the software and hardware versions and shows them in lines 2 and 3.
    VersionTexts ReadVersions();

    // Runs `frames` inside the envelope. `frames` gets the open channel and the sleeper.
    Outcome run(const EnvelopeTexts &texts, const std::function<void(CComm &, Sleeper &)> &frames);

    void setSettings(SerialSettings settings) { m_settings = settings; }
    const SerialSettings &settings() const { return m_settings; }
    CComm &channel() { return m_channel; }
    Sleeper &sleeper() { return m_sleeper; }
    StatusLines &status() { return m_status; }

private:
    bool openChannel();
    std::string askVersion(const std::string &frame, int count);

    SerialSettings m_settings;
    StatusLines m_status;
    Sleeper &m_sleeper;
    CComm m_channel;
};

} // namespace kestrix
