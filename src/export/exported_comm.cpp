// CComm of the exported library: the public class over the utility's own serial channel and
// display exchange, which it keeps out of the header (and out of the library's symbols).

#include <kestrix/comm.h>

#include "comm/serial_channel.h"
#include "export/display_exchange.h"

#include <QString>
#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

// Read by every thread that logs, written once by the first CComm's thread: the handler sees
// either the one it replaced or, in the moment before it is stored, none (stderr).
std::atomic<QtMessageHandler> previousHandler{nullptr};

// On a thread that Qt did not start (any thread of a program that is not a Qt program, and a
// plain thread of one that is) the serial port cannot watch its device for the event loop the
// thread does not have, and says so at every open. The channel reads blocking and needs no
// watching, so that warning is dropped; every other message goes where it went before.
void dropNotifierWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("QSocketNotifier: Can only be used with threads started with QThread")))
        return;
    if (const QtMessageHandler previous = previousHandler.load())
        previous(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

void quietNotifierWarnings()
{
    static std::once_flag once;
    std::call_once(once, [] { previousHandler = qInstallMessageHandler(dropNotifierWarning); });
}

} // namespace

struct CComm::Channel {
    kestrix::SerialChannel serial;
    kestrix::display::DisplayExchange display{serial};
};

CComm::CComm() : m_channel(new Channel)
{
    quietNotifierWarnings();
}

CComm::~CComm()
{
    delete m_channel;
}

int CComm::Open(int port, int speed)
{
    return m_channel->serial.Open(port, speed);
}

int CComm::OpenDevice(const std::string &device, int speed)
{
    return m_channel->serial.OpenDevice(QString::fromUtf8(device.data(), qsizetype(device.size())), speed);
}

void CComm::Close()
{
    m_channel->serial.Close();
}

char CComm::SetCurrency(int line, int kind, double first, double second)
{
    return m_channel->display.setCurrency(line, kind, first, second);
}

bool CComm::SetCurrency(std::string currency, std::string kind, double first, double second)
{
    return m_channel->display.setCurrency(currency, kind, first, second);
}

char CComm::SetIntensity(int address, int type, int firstHours, int firstMinutes, int secondHours,
                         int secondMinutes)
{
    return m_channel->display.setIntensity(address, type, {firstHours, firstMinutes, secondHours, secondMinutes});
}

char CComm::Test()
{
    return m_channel->display.test();
}

char CComm::SetTime(SYSTEMTIME *time)
{
    if (!time)
        return 0;
    return m_channel->display.setTime({time->wSecond, time->wMinute, time->wHour, time->wDay, time->wMonth,
                                       time->wYear});
}

void CComm::SetTimeConfirmation(std::function<void(const std::string &timeText)> confirmation)
{
    m_channel->display.setTimeConfirmation(std::move(confirmation));
}
