#include "params/parameter_download.h"

#include "base/text_digits.h"
#include "base/texts.h"
#include "comm/protocol.h"

#include <algorithm>
#include <optional>

namespace kestrix {

namespace {

// Parameter registers in the order they are read.
constexpr int ReadOrder[] = {
    8, 9, 10, 11, 98, 491, 873, 874,   // view durations and corrections
    12, 13, 17, 18, 19,                // P9, A0, A1 pairs; t0, Ad
    21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36,   // byte map
    95, 96,                            // time zone
    107, 91, 92, 93, 94,               // simple timing
    849, 850, 851, 852, 853, 854, 855, 856, 857,   // self timer
};

constexpr int ClockRegisterCount = 7;
const QString Unanswered = QStringLiteral("--");

// The two hexadecimal digits of a read, or nothing.
std::optional<QString> readText(Exchange &exchange, int reg)
{
    const std::optional<std::uint8_t> byte = exchange.readRegister(reg, Pause::DownloadRead);
    if (!byte)
        return std::nullopt;
    return hexByte(*byte);
}

const QString UnsetByte = QStringLiteral("ff");

// R000 seconds, R001 minutes, R002 hours, R003 weekday, R004 day, R005 month, R006 year.
ClockLines clockLinesOf(const std::array<QString, ClockRegisterCount> &r)
{
    QString weekday = r[3];
    if (weekday.size() == 2 && weekday.startsWith(u'0'))
        weekday.remove(0, 1);
    return {r[2] + u':' + r[1] + u':' + r[0], r[4] + u'.' + r[5] + u'.' + r[6] + u'.', weekday};
}

void readClock(Exchange &exchange, Download &download)
{
    std::array<QString, ClockRegisterCount> texts;
    for (int reg = 0; reg < ClockRegisterCount && !exchange.cancelled(); ++reg) {
        const std::optional<QString> text = readText(exchange, reg);
        // The clock keeps decimal digits: "a3" is no clock value.
        const bool answered = text && allAsciiDigits(*text);
        texts[std::size_t(reg)] = answered ? *text : Unanswered;
        if (!answered)
            exchange.noteUnanswered();
        exchange.step();
    }
    download.clock = clockLinesOf(texts);
}

void readParameters(Exchange &exchange, Download &download)
{
    for (int reg : ReadOrder) {
        if (exchange.cancelled())
            return;
        const std::optional<QString> text = readText(exchange, reg);
        if (!text || !takeReadText(reg, *text, download.update))
            exchange.noteUnanswered();
        exchange.step();
    }
}

} // namespace

std::span<const int> downloadRegisters()
{
    return ReadOrder;
}

bool takeReadText(int reg, const QString &readText, ParameterUpdate &update)
{
    ParameterUpdate read;
    for (const Parameter &row : parameterTable()) {
        if (row.readRegister != reg)
            continue;
        const QString shown = decodeField(row.encoding, readText);
        if (row.digit != StoredDigit::None)
            read.digits.push_back({row.digit, shown});
        else
            read.fields.push_back({row.id, shown});
    }
    // 0xFF marks a register the board has never been given: a value, though no control's.
    if (readText.compare(UnsetByte, Qt::CaseInsensitive) != 0 && firstMisfit(read))
        return false;
    update.fields.insert(update.fields.end(), read.fields.begin(), read.fields.end());
    update.digits.insert(update.digits.end(), read.digits.begin(), read.digits.end());
    return true;
}

QString clockBoxText(const ClockLines &lines)
{
    return lines[0] + QStringLiteral("\r\n") + lines[1] + QStringLiteral("\r\n") + lines[2];
}

BoardJob<Download> downloadJob()
{
    BoardJob<Download> job;
    job.texts = {Text::ParametersDownloading, Text::ParametersDownloaded, Text::DownloadUnanswered};
    job.texts.readsOnly = true;
    job.body = [](Exchange &exchange, Download &download) {
        exchange.setTotalSteps(ClockRegisterCount + int(std::size(ReadOrder)));
        readClock(exchange, download);
        readParameters(exchange, download);
    };
    return job;
}

} // namespace kestrix
