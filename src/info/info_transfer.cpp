#include "info/info_transfer.h"

#include "base/language.h"
#include "base/texts.h"
#include "comm/protocol.h"

namespace kestrix {

namespace {

using namespace std::chrono_literals;

constexpr Milliseconds RegisterPause = 10ms;

int totalRegisters(const std::vector<InfoVariable> &variables)
{
    int total = 0;
    for (const InfoVariable &variable : variables)
        total += variable.registerCount();
    return total;
}

std::optional<QString> readValue(const InfoVariable &variable, Exchange &exchange)
{
    std::vector<unsigned char> bytes;
    bool answered = true;
    for (int i = 0; i < variable.registerCount(); ++i) {
        const int reg = variable.reg + i;
        const std::optional<std::uint8_t> byte = variable.kind() == InfoKind::Par
                                                     ? exchange.readRegister(reg, RegisterPause)
                                                     : exchange.readVariable(reg, RegisterPause);
        exchange.step();
        answered = answered && byte;
        bytes.push_back(byte.value_or(0));
    }
    return answered ? std::optional<QString>(decodeInfoValue(variable, bytes)) : std::nullopt;
}

std::optional<QString> clearValue(const InfoVariable &variable, Exchange &exchange)
{
    std::vector<QString> answers;
    bool answered = true;
    for (int i = 0; i < variable.registerCount(); ++i) {
        const std::string number = Frame::registerNumber(variable.reg + i);
        const std::string frame = variable.kind() == InfoKind::Par ? Frame::registerWrite(number, "00")
                                                                   : Frame::variableClear(number);
        const std::optional<std::string> answer = exchange.query(frame, 1, RegisterPause);
        exchange.step();
        answered = answered && answer;
        answers.push_back(QString::fromStdString(answer.value_or(std::string())));
    }
    return answered ? std::optional<QString>(clearedInfoValue(variable, answers)) : std::nullopt;
}

using ValueOf = std::optional<QString> (*)(const InfoVariable &, Exchange &);

struct InfoOperation {
    int progress;
    int completion;
    int incomplete;   // "%1 variables did not answer"
    ValueOf value;
};

InfoValues run(const InfoOperation &kind, const std::vector<InfoVariable> &variables, Operation &operation)
{
    InfoValues result;
    result.outcome = operation.run({kind.progress, kind.completion}, [&](Exchange &exchange) {
        exchange.setTotalSteps(totalRegisters(variables));
        for (const InfoVariable &variable : variables) {
            if (exchange.cancelled())
                return;
            const std::optional<QString> value = variable.registerCount() ? kind.value(variable, exchange) : QString();
            result.unanswered += value ? 0 : 1;
            result.values.push_back(value);
        }
    });
    if (result.outcome == Outcome::Completed && result.unanswered > 0)
        operation.status().showText(0, LookupText(kind.incomplete).arg(result.unanswered));
    if (result.outcome != Outcome::Completed)
        result.values.clear();
    return result;
}

const InfoOperation Download{Text::InformationReading, Text::InformationRead, Text::InformationUnanswered, readValue};
const InfoOperation Clearing{Text::InformationDeleting, Text::InformationDeleted, Text::ClearingUnanswered, clearValue};

} // namespace

StatusForm infoStatusForm()
{
    return StatusForm::dialog({Text::CommunicationError, Text::CheckPortAndSpeed});
}

InfoValues downloadInformation(const std::vector<InfoVariable> &variables, Operation &operation)
{
    return run(Download, variables, operation);
}

InfoValues clearInformation(const std::vector<InfoVariable> &variables, Operation &operation)
{
    return run(Clearing, variables, operation);
}

InfoValues downloadInformation(const std::vector<InfoVariable> &variables, SerialSettings settings, Reporter &reporter,
                               Sleeper &sleeper)
{
    Operation operation(settings, reporter, infoStatusForm(), sleeper);
    return downloadInformation(variables, operation);
}

InfoValues clearInformation(const std::vector<InfoVariable> &variables, SerialSettings settings, Reporter &reporter,
                            Sleeper &sleeper)
{
    Operation operation(settings, reporter, infoStatusForm(), sleeper);
    return clearInformation(variables, operation);
}

} // namespace kestrix
