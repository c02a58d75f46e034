#include "params/register_read_back.h"

#include "base/texts.h"
#include "comm/protocol.h"
#include "comm/register_read_back.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace kestrix {

namespace {

constexpr int ClockRegisterCount = 7;

// The value sent as the read gives it back: two lower-case hexadecimal digits.
QString sentForm(const QString &sent)
{
    return (sent.size() == 1 ? QLatin1Char('0') + sent : sent).toLower();
}

} // namespace

std::vector<RegisterWrite> registersToReadBack(const std::vector<RegisterWrite> &writes)
{
    std::vector<RegisterWrite> reads;
    for (const RegisterWrite &write : writes) {
        if (write.reg < ClockRegisterCount || write.value.isEmpty())
            continue;
        const auto earlier = std::ranges::find(reads, write.reg, &RegisterWrite::reg);
        if (earlier != reads.end())
            reads.erase(earlier);
        reads.push_back(write);
    }
    return reads;
}

BoardJob<std::vector<RegisterCheck>> readBackJob(const std::vector<RegisterWrite> &writes)
{
    std::vector<RegisterCheck> checks;
    for (const RegisterWrite &write : registersToReadBack(writes))
        checks.push_back({write.reg, sentForm(write.value), std::nullopt});
    return registerReadBackJob(
        {Text::ParametersDownloading, Text::ParametersDownloaded, Text::TimesDownloadIncomplete}, std::move(checks),
        registerByteRead(Pause::DownloadRead, [](std::uint8_t byte) { return hexByte(byte); }));
}

} // namespace kestrix
