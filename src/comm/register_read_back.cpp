#include "comm/register_read_back.h"

#include <utility>

namespace kestrix {

RegisterRead registerByteRead(Milliseconds pause, std::function<QString(std::uint8_t)> form)
{
    return [pause, form = std::move(form)](Exchange &exchange, int reg) -> std::optional<QString> {
        const std::optional<std::uint8_t> byte = exchange.readRegister(reg, pause);
        if (!byte)
            return std::nullopt;
        return form(*byte);
    };
}

BoardJob<std::vector<RegisterCheck>> registerReadBackJob(const JobTexts &texts, std::vector<RegisterCheck> checks,
                                                         RegisterRead read)
{
    BoardJob<std::vector<RegisterCheck>> job;
    job.texts = texts;
    job.texts.readsOnly = true;
    job.start = std::move(checks);
    job.body = [read = std::move(read)](Exchange &exchange, std::vector<RegisterCheck> &checks) {
        exchange.setTotalSteps(int(checks.size()));
        for (RegisterCheck &check : checks) {
            // Checked before the frame: a read that was never sent is not a register that did
            // not answer.
            if (exchange.cancelled() || exchange.boardLost())
                return;
            check.read = read(exchange, check.reg);
            if (!check.read)
                exchange.noteUnanswered();
            exchange.step();
        }
    };
    return job;
}

} // namespace kestrix
