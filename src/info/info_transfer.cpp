#include "info/info_transfer.h"

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

// One information job: its texts and how a variable's value is got.
struct InfoJobKind {
    TextId progress;
    TextId completion;
    TextId incomplete;   // "%1 variables did not answer"
    ValueOf value;
};

constexpr InfoJobKind Download{Text::InformationReading, Text::InformationRead, Text::InformationUnanswered, readValue};
constexpr InfoJobKind Clearing{Text::InformationDeleting, Text::InformationDeleted, Text::ClearingUnanswered,
                               clearValue};

BoardJob<InfoValues> infoJob(const InfoJobKind &kind, std::vector<InfoVariable> variables)
{
    BoardJob<InfoValues> job;
    job.texts = {kind.progress, kind.completion, kind.incomplete, infoStatusForm()};
    job.texts.readsOnly = kind.progress == Download.progress;
    job.body = [value = kind.value, variables = std::move(variables)](Exchange &exchange, InfoValues &values) {
        exchange.setTotalSteps(totalRegisters(variables));
        for (const InfoVariable &variable : variables) {
            if (exchange.cancelled())
                return;
            const std::optional<QString> read = variable.registerCount() ? value(variable, exchange) : QString();
            if (!read)
                exchange.noteUnanswered();
            values.values.push_back(read);
        }
    };
    return job;
}

} // namespace

StatusForm infoStatusForm()
{
    return StatusForm::dialog({Text::CommunicationError, Text::CheckPortAndSpeed});
}

BoardJob<InfoValues> informationDownloadJob(std::vector<InfoVariable> variables)
{
    return infoJob(Download, std::move(variables));
}

BoardJob<InfoValues> informationClearingJob(std::vector<InfoVariable> variables)
{
    return infoJob(Clearing, std::move(variables));
}

} // namespace kestrix
