#include "time/time_upload.h"

#include "base/texts.h"
#include "comm/protocol.h"

namespace kestrix {
namespace {

// The pause after each clock register of the PC upload, 000 to 006.
constexpr Milliseconds PcTimePauses[Clock::FieldCount] = {
    Pause::PcTimeClock,    Pause::PcTimeClock,    Pause::PcTimeClock,    Pause::PcTimeCalendar,
    Pause::PcTimeCalendar, Pause::PcTimeCalendar, Pause::PcTimeCalendar,
};

constexpr Milliseconds DlsPause = Pause::PcTimeCalendar;

// Register 000..006 with its value; the weekday register is written as "W0030" and the digit
// as it is, also when the digit is missing.
void writeClockRegister(Exchange &exchange, int field, const QString &value, Milliseconds pauseAfter)
{
    if (field == Clock::Weekday)
        exchange.send("W0030" + value.toStdString() + Frame::Cr, pauseAfter);
    else
        exchange.writeRegister(field, value.toStdString(), pauseAfter);
}

// Sends the seven registers, each followed by its pause; false once cancelled.
bool sendClockRegisters(Exchange &exchange, const ClockValues &values, const Milliseconds (&pauses)[Clock::FieldCount])
{
    for (int field = 0; field < Clock::FieldCount; ++field) {
        writeClockRegister(exchange, field, values[size_t(field)], pauses[field]);
        if (!exchange.step())
            return false;
    }
    return true;
}

} // namespace

QDateTime currentLocalTime()
{
    return QDateTime::currentDateTime();
}

ClockValues clockFieldsOf(const QDateTime &local)
{
    const QDate date = local.date();
    const QTime time = local.time();
    return {twoDigits(time.second()),
            twoDigits(time.minute()),
            twoDigits(time.hour()),
            QString::number(date.dayOfWeek() % 7),   // Qt counts Monday 1 .. Sunday 7
            twoDigits(date.day()),
            twoDigits(date.month()),
            twoDigits(date.year() % 100)};
}

ClockValues paddedManualFields(const ClockValues &typed)
{
    ClockValues padded = typed;
    for (int field = 0; field < Clock::FieldCount; ++field) {
        if (field != Clock::Weekday && padded[size_t(field)].size() == 1)
            padded[size_t(field)].prepend(QLatin1Char('0'));
    }
    return padded;
}

// The envelope sends no preamble of its own: the body takes the time first and then sends the
// preamble, so that the 200 ms of the preamble do not make the time late by a second.
BoardJob<NoData> pcTimeUploadJob(LocalClock clock)
{
    BoardJob<NoData> job;
    job.texts = {Text::TimeUploading, Text::TimeUploaded, {}, StatusForm::mainWindow(), false, true};
    job.body = [clock = std::move(clock)](Exchange &exchange, NoData &) {
        const ClockValues values = clockFieldsOf(clock());
        exchange.send(Frame::Preamble, Pause::Preamble);
        exchange.setTotalSteps(PcTimeUploadSteps);
        if (!sendClockRegisters(exchange, values, PcTimePauses))
            return;
        exchange.command("DLS", DlsPause);
        exchange.step();
    };
    return job;
}

BoardJob<NoData> manualTimeUploadJob(const ClockValues &typed)
{
    static constexpr Milliseconds ManualPauses[Clock::FieldCount] = {
        Pause::ManualTime, Pause::ManualTime, Pause::ManualTime, Pause::ManualTime,
        Pause::ManualTime, Pause::ManualTime, Pause::ManualTime,
    };
    BoardJob<NoData> job;
    job.texts = {Text::TimeUploading, Text::TimeUploaded, {},
                 StatusForm::dialog({Text::CommunicationError, Text::CheckPortAndSpeed})};
    job.body = [values = paddedManualFields(typed)](Exchange &exchange, NoData &) {
        exchange.setTotalSteps(Clock::FieldCount);
        sendClockRegisters(exchange, values, ManualPauses);
    };
    return job;
}

} // namespace kestrix
