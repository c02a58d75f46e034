#include "params/parameter_upload.h"

#include "base/language.h"
#include "base/texts.h"
#include "comm/protocol.h"

#include <QStringList>

namespace kestrix {

namespace {

using G = Group;
using namespace std::chrono_literals;

struct GroupUpload {
    Group group;
    int progress;
    int completion;
    Milliseconds firstPause;   // after the group's first frame
    Milliseconds pause;        // after each other frame
    bool readsAnswers;         // frames go out with WriteRegister, each answered by one byte
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
struct RegisterValue {
    int reg;
    QString value;
};

std::vector<RegisterValue> registerValues(Group group, const ParameterValues &values)
{
    std::vector<RegisterValue> frames;
    for (const Parameter &row : groupParameters(group)) {
        if (row.encoding != Encoding::DigitPairSecond)
            frames.push_back({row.writeRegister, values.encodedRegister(row)});
    }
    return frames;
}

void sendGroup(const GroupUpload &upload, const std::vector<RegisterValue> &frames, Exchange &exchange)
{
    exchange.setTotalSteps(int(frames.size()));
    bool first = true;
    for (const RegisterValue &frame : frames) {
        const std::string value = frame.value.toStdString();
        if (upload.readsAnswers)
            exchange.WriteRegister(Frame::registerNumber(frame.reg), value, 1);
        else
            exchange.writeRegister(frame.reg, value, first ? upload.firstPause : upload.pause);
        first = false;
        if (!exchange.step())
            return;
    }
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

Outcome uploadGroup(Group group, ParameterValues &values, Operation &operation)
{
    const GroupUpload &upload = uploadOf(group);
    return operation.run({upload.progress, upload.completion}, [&](Exchange &exchange) {
        if (group == G::A0)
            values.digits().brightness().takeDigit(values.text(ParamId::Brightness));
        sendGroup(upload, registerValues(group, values), exchange);
    });
}

Outcome uploadGroup(Group group, ParameterValues &values, SerialSettings settings, Reporter &reporter,
                    Sleeper &sleeper)
{
    Operation operation(settings, reporter, StatusForm::mainWindow(), sleeper);
    return uploadGroup(group, values, operation);
}

std::span<const Group> standardGroups()
{
    return StandardGroups;
}

AllUpload uploadAll(ParameterValues &values, Operation &operation, const TimeUpload &timeUpload)
{
    AllUpload result;
    const CheckResult check = operation.announce(Text::AllUploading);
    if (check != CheckResult::Answered) {
        result.outcome = check == CheckResult::Cancelled ? Outcome::Cancelled : Outcome::CommunicationFailed;
        return result;
    }
    takeListDigits(values);
    operation.SendSM7();
    result.timeFailed = timeUpload(operation) != Outcome::Completed;
    for (Group group : StandardGroups) {
        if (operation.cancelled())
            break;
        if (uploadGroup(group, values, operation) != Outcome::Completed)
            result.failedGroups.push_back(group);
    }
    StatusLines &status = operation.status();
    if (operation.cancelled()) {
        status.showCancelled();
        result.outcome = Outcome::Cancelled;
        return result;
    }
    if (result.allDone())
        status.show(0, Text::AllUploaded);
    else
        status.showText(0, LookupText(Text::AllUploadedExcept).arg(failedUploadsText(result)));
    status.clear(1);
    return result;
}

AllUpload uploadAll(ParameterValues &values, const TimeUpload &timeUpload, SerialSettings settings,
                    Reporter &reporter, Sleeper &sleeper)
{
    Operation operation(settings, reporter, StatusForm::mainWindow(), sleeper);
    return uploadAll(values, operation, timeUpload);
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
