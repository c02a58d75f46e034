#include "params/parameter_upload.h"

#include "base/language.h"
#include "base/text_encoding.h"
#include "base/texts.h"
#include "comm/protocol.h"

#include <QStringList>

namespace kestrix {

namespace {

using G = Group;
using namespace std::chrono_literals;

struct GroupUpload {
    Group group;
    TextId progress;
    TextId completion;
    Milliseconds firstPause;   // after the group's first frame
    Milliseconds pause;        // after each other frame
    bool readsAnswers;         // frames go out with writeAnswered, each answered by one byte
    const char *failureName;   // how Adjust All's failure text names the group
};

constexpr GroupUpload Uploads[] = {
    {G::ViewTimes, Text::ViewsUploading, Text::ViewsUploaded, 20ms, 30ms, false, "View times"},
    {G::A0, Text::A0Uploading, Text::A0Uploaded, 10ms, 10ms, false, "A0"},
    {G::P9, Text::P9Uploading, Text::P9Uploaded, 10ms, 10ms, false, "P9"},
    {G::A1, Text::A1Uploading, Text::A1Uploaded, 10ms, 10ms, false, "A1"},
    {G::A2, Text::A2Uploading, Text::A2Uploaded, 10ms, 10ms, false, "A2"},
    {G::A3, Text::A3Uploading, Text::A3Uploaded, 10ms, 10ms, false, "A3"},
    {G::A4, Text::A4Uploading, Text::A4Uploaded, 10ms, 10ms, false, "A4"},
    {G::ByteMap, Text::ByteMapUploading, Text::ByteMapUploaded, 0ms, 0ms, true, "A5-C0"},
    {G::SimpleTiming, Text::SimpleTimingUploading, Text::SimpleTimingUploaded, 20ms, 20ms, false, "Simple Timing"},
    {G::SelfTimer, Text::SelfTimerUploading, Text::SelfTimerUploaded, 20ms, 20ms, false, "Self Timer"},
    {G::TimeZone, Text::TimeZoneUploading, Text::TimeZoneUploaded, 20ms, 20ms, false, "Time Zone"},
};

constexpr Group StandardGroups[] = {G::ViewTimes, G::A0, G::P9, G::A1, G::A2, G::A3, G::A4, G::ByteMap};

// The time upload's name in Adjust All's failure text.
constexpr char TimeUploadName[] = "Time & Date";

const GroupUpload &uploadOf(Group group)
{
    return Uploads[int(group)];
}

static_assert(rowsInEnumOrder(Uploads, &GroupUpload::group), "upload rows must stand in Group order");

// One frame per register: a digit pair's two rows make one value.
std::vector<RegisterWrite> registerValues(Group group, const ParameterValues &values)
{
    std::vector<RegisterWrite> frames;
    for (const Parameter &row : groupParameters(group)) {
        if (row.encoding != Encoding::DigitPairSecond)
            frames.push_back({row.writeRegister, values.encodedRegister(row)});
    }
    return frames;
}

// "W" + register + value as the value stands: a digit pair with an empty half (the Brightness
// field left empty) is one character, which Frame::registerWrite would pad into another value.
// No other encoding gives a single character, so their frames stay as they were.
std::string unpaddedWrite(int reg, const std::string &value)
{
    return 'W' + Frame::registerNumber(reg) + value + Frame::Cr;
}

void sendGroup(const GroupUpload &upload, const std::vector<RegisterWrite> &frames, Exchange &exchange)
{
    exchange.setTotalSteps(int(frames.size()));
    bool first = true;
    for (const RegisterWrite &frame : frames) {
        // Texts for the board travel as Windows-1252: one byte a character.
        const std::string value = toWindows1252(frame.value).toStdString();
        if (upload.readsAnswers)
            exchange.writeAnswered(Frame::registerNumber(frame.reg), value, 1);
        else
            exchange.send(unpaddedWrite(frame.reg, value), first ? upload.firstPause : upload.pause);
        first = false;
        if (!exchange.step())
            return;
    }
}

// A0 takes the brightness digit from its field before the frames, as the window does.
void sendGroupOf(Group group, ParameterValues &values, Exchange &exchange)
{
    if (group == G::A0)
        values.digits().brightness().takeDigit(values.text(ParamId::Brightness));
    sendGroup(uploadOf(group), registerValues(group, values), exchange);
}

// Adjust All's steps for the standard groups: one per frame.
int standardGroupSteps(const ParameterValues &values)
{
    int steps = 0;
    for (Group group : StandardGroups)
        steps += int(registerValues(group, values).size());
    return steps;
}

// How one part of Adjust All ended.
enum class PartEnd { Done, Failed, Lost };

// One part as its own upload sends it: the check ("Communication OK." and the part's progress
// text), the preamble again, then the frames on a freshly opened channel. It shows no ending of
// its own; `framesSent` counts the frames it wrote after opening.
PartEnd runPart(Operation &operation, const JobTexts &texts, const std::function<void(Exchange &)> &frames,
                int &framesSent)
{
    const CheckResult check = operation.CheckCommunication();
    if (check == CheckResult::Cancelled)
        return PartEnd::Failed;
    const bool answered = check == CheckResult::Answered;
    if (answered) {
        operation.status().show(0, Text::CommunicationOk);
        operation.exchange().pause(Pause::StatusStep);
        operation.status().show(0, texts.progress);
        operation.status().clear(1);
    } else {
        operation.exchange().pause(Pause::StatusStep);
        if (!texts.goOnAfterFailedCheck)
            return PartEnd::Failed;
    }
    if (texts.preambleAgain)
        operation.SendSM7();
    SerialChannel &channel = operation.channel();
    if (operation.cancelled())
        return PartEnd::Failed;
    if (channel.Open(operation.settings().port, operation.settings().speed) != SerialChannel::Opened) {
        operation.status().reporter().messageBox(LookupText(Text::PortOpenError), MessageIcon::Error);
        return PartEnd::Failed;
    }
    const int before = channel.framesWritten();
    frames(operation.exchange());
    framesSent += channel.framesWritten() - before;
    const bool lost = channel.lost();
    channel.Close();
    if (lost)
        return PartEnd::Lost;
    return answered && !operation.cancelled() ? PartEnd::Done : PartEnd::Failed;
}

// Shows Adjust All's one ending in the first line and gives it back.
JobEnding showEnding(StatusLines &status, JobEnding ending)
{
    if (ending.outcome == Outcome::Cancelled) {
        status.showCancelled();
        ending.text = LookupText(Text::OperationCancelled);
        return ending;
    }
    status.showText(0, ending.text);
    status.clear(1);
    return ending;
}

// Adjust All takes the list-backed digits from what the lists show: after Test Clock the
// display-mode list may show another entry than its stored digit.
void takeListDigits(ParameterValues &values)
{
    for (const Parameter &row : parameterTable()) {
        if (row.kind == ControlKind::List && row.digit != StoredDigit::None)
            values.setText(row.id, values.text(row.id));
    }
}

} // namespace

BoardJob<ParameterValues> groupUploadJob(Group group, const ParameterValues &values)
{
    const GroupUpload &upload = uploadOf(group);
    BoardJob<ParameterValues> job;
    job.texts = {upload.progress, upload.completion, {}};
    job.body = [group](Exchange &exchange, ParameterValues &data) { sendGroupOf(group, data, exchange); };
    job.start = values;
    return job;
}

std::vector<RegisterWrite> groupWrites(Group group, const ParameterValues &values)
{
    return registerValues(group, values);
}

std::span<const Group> standardGroups()
{
    return StandardGroups;
}

std::vector<RegisterWrite> standardGroupWrites(const ParameterValues &values)
{
    std::vector<RegisterWrite> writes;
    for (Group group : standardGroups()) {
        const std::vector<RegisterWrite> part = groupWrites(group, values);
        writes.insert(writes.end(), part.begin(), part.end());
    }
    return writes;
}

JobResult<AllUpload> uploadAll(const ParameterValues &values, const TimeUpload &time, Operation &operation)
{
    JobResult<AllUpload> result{{}, {values, false, {}}};
    AllUpload &all = result.data;
    const CheckResult check = operation.announce(Text::AllUploading);
    if (check == CheckResult::Cancelled) {
        result.ending = {Outcome::Cancelled, 0, 0, LookupText(Text::OperationCancelled)};
        return result;
    }
    if (check != CheckResult::Answered) {
        result.ending = {Outcome::CommunicationFailed, 0, 0, {}};
        return result;
    }
    takeListDigits(all.values);
    operation.SendSM7();
    Exchange &exchange = operation.exchange();
    exchange.holdTotalSteps(time.steps + standardGroupSteps(all.values));
    int framesSent = 0;
    PartEnd part = runPart(operation, time.job.texts, [&time](Exchange &partExchange) {
        NoData none;
        time.job.body(partExchange, none);
    }, framesSent);
    all.timeFailed = part != PartEnd::Done;
    for (Group group : StandardGroups) {
        if (part == PartEnd::Lost || operation.cancelled())
            break;
        const GroupUpload &upload = uploadOf(group);
        part = runPart(operation, {upload.progress, upload.completion, {}}, [&](Exchange &partExchange) {
            sendGroupOf(group, all.values, partExchange);
        }, framesSent);
        if (part != PartEnd::Done)
            all.failedGroups.push_back(group);
    }
    exchange.releaseTotalSteps();
    const int failed = int(all.failedGroups.size()) + (all.timeFailed ? 1 : 0);
    JobEnding ending{Outcome::Completed, failed, framesSent, LookupText(Text::AllUploaded)};
    if (part == PartEnd::Lost) {
        ending.outcome = Outcome::BoardLost;
        ending.text = LookupText(Text::BoardLost).arg(framesSent);
    } else if (operation.cancelled()) {
        ending.outcome = Outcome::Cancelled;
    } else if (failed > 0) {
        ending.outcome = Outcome::Incomplete;
        ending.text = LookupText(Text::AllUploadedExcept).arg(failedUploadsText(all));
    }
    result.ending = showEnding(operation.status(), ending);
    return result;
}

QString failedUploadsText(const AllUpload &upload)
{
    QStringList names;
    if (upload.timeFailed)
        names << QString::fromLatin1(TimeUploadName);
    for (Group group : upload.failedGroups)
        names << QString::fromLatin1(uploadOf(group).failureName);
    return names.join(QStringLiteral(", "));
}

} // namespace kestrix
