#include "comm/port_scan.h"

#include "app/language.h"
#include "comm/protocol.h"

namespace kestrix {
namespace {

constexpr int TestingCommunication = 5061;   // "Testing communication with clock ..."
constexpr int Checking = 5068;               // "Checking"
constexpr int ConnectedAt = 5069;            // "Connected at"
constexpr int CommunicationError = 5034;     // "Communication Error!"

// "Checking COM3, Baud Rate:  9600": the speed right-aligned in five places.
QString checkingText(const SerialSettings &pair)
{
    return LookupText(Checking) + QStringLiteral(" COM%1, Baud Rate: %2").arg(pair.port).arg(pair.speed, 5);
}

QString connectedText(const SerialSettings &pair)
{
    return LookupText(ConnectedAt) + QStringLiteral(" COM%1, %2bps").arg(pair.port).arg(pair.speed);
}

// One try: preamble, then the communication test on a freshly opened channel.
bool boardAnswers(Operation &operation)
{
    operation.SendSM7();
    CComm &channel = operation.channel();
    if (channel.Open(operation.settings().port, operation.settings().speed) != CComm::Opened)
        return false;
    const bool answered = channel.Query(Frame::CommunicationTest, 5) == HelloAnswer;
    channel.Close();
    operation.sleeper().pause(Pause::CommunicationTest);
    return answered;
}

void clearVersionLines(StatusLines &status)
{
    status.clear(1);
    status.clear(2);
}

ScanResult cancelledScan(const SerialSettings &settings)
{
    ScanResult result;
    result.settings = settings;
    result.cancelled = true;
    return result;
}

} // namespace

ScanResult scanPorts(SerialSettings settings, Reporter &reporter, Sleeper &sleeper)
{
    Operation operation(settings, reporter, StatusForm::mainWindow(), sleeper);
    StatusLines &status = operation.status();
    status.show(0, TestingCommunication);
    clearVersionLines(status);

    ScanResult result;
    int tries = 0;
    for (int port = 1; port <= PortCount; ++port) {
        for (int speed : SpeedTable) {
            if (reporter.cancelled())
                return cancelledScan(settings);
            const SerialSettings pair{port, speed};
            operation.setSettings(pair);
            status.showText(1, checkingText(pair));
            reporter.progress(tries++, ScanTries);
            if (boardAnswers(operation)) {
                result.found = true;
                result.settings = pair;
            }
        }
    }
    reporter.progress(ScanTries, ScanTries);

    if (!result.found) {
        // Give back what the file says, on top of the last pair tried.
        result.settings = operation.settings();
        readSerialSettings(result.settings);
        status.show(0, CommunicationError);
        clearVersionLines(status);
        return result;
    }
    result.saved = writeSerialSettings(result.settings);
    operation.setSettings(result.settings);
    status.showText(0, connectedText(result.settings));
    clearVersionLines(status);
    result.versions = operation.ReadVersions();
    return result;
}

} // namespace kestrix
