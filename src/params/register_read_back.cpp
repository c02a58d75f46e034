#include "params/register_read_back.h"

#include "base/texts.h"
#include "comm/protocol.h"

#include <algorithm>
#include <optional>

namespace kestrix {

namespace {

constexpr int ClockRegisterCount = 7;

bool holdsSent(const QString &sent, const QString &held)
{
    const QString padded = sent.size() == 1 ? QLatin1Char('0') + sent : sent;
    return padded.compare(held, Qt::CaseInsensitive) == 0;
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

BoardJob<ReadBack> readBackJob(const std::vector<RegisterWrite> &writes)
{
    BoardJob<ReadBack> job;
    job.texts = {Text::ParametersDownloading, Text::ParametersDownloaded, Text::TimesDownloadIncomplete};
    job.texts.readsOnly = true;
    job.body = [reads = registersToReadBack(writes)](Exchange &exchange, ReadBack &readBack) {
        exchange.setTotalSteps(int(reads.size()));
        for (const RegisterWrite &write : reads) {
            if (exchange.cancelled())
                return;
            const std::optional<std::uint8_t> byte = exchange.readRegister(write.reg, Pause::DownloadRead);
            if (!byte) {
                readBack.unanswered.push_back(write.reg);
                exchange.noteUnanswered();
            } else {
                ++readBack.registersRead;
                const QString held = hexByte(*byte);
                if (!holdsSent(write.value, held))
                    readBack.differing.push_back({write.reg, write.value, held});
            }
            exchange.step();
        }
    };
    job.completionText = [](const ReadBack &readBack) {
        if (readBack.differing.empty())
            return QStringLiteral("Verified: the board holds the %1 registers sent.").arg(readBack.registersRead);
        return QStringLiteral("Read back: %1 of %2 registers hold another value than was sent.")
            .arg(readBack.differing.size())
            .arg(readBack.registersRead);
    };
    return job;
}

QString registerName(int reg)
{
    return QStringLiteral("R%1").arg(reg, 3, 10, QLatin1Char('0'));
}

} // namespace kestrix
