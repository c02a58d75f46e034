// Arbitrary bytes as the values of the board's nine name registers (894-902), as a day and night
// download reads them: the name they give, the lines `daynight download` prints, and whether
// Save would take the name. daynight_file_fuzz feeds names only through Daynight.txt, whose
// reader splits lines at CR and LF and never decodes register values, and nothing of it reaches
// the printing: a line feed or ESC in a board's name was out of its reach. Checked:
// - every printed line is free of control characters (C0, DEL, C1): none can act on a terminal
//   or split a key into two lines; there are 50 lines, the first "Name=";
// - a name without control characters is printed as it is;
// - the name travels back: its Windows-1252 codes are the register values less the 0s, and
//   boardCodeProblem has nothing against it;
// - a name holding a control character is refused by nameProblem, so Save never files it; the
//   refusal itself holds no control character.

#include "fuzz_support.h"
#include "base/text_encoding.h"
#include "daynight/daynight_transfer.h"
#include "daynight/location_file.h"

#include <algorithm>

using namespace kestrix;
using namespace kestrix::fuzz;

namespace {

constexpr int NameRegisters = 9;
constexpr int PrintedLines = 2 + 48;

bool isControl(QChar c)
{
    const char16_t code = c.unicode();
    return code < 0x20 || (code >= 0x7f && code < 0xa0);
}

bool holdsControl(const QString &text)
{
    return std::ranges::any_of(text, isControl);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray codes(reinterpret_cast<const char *>(data), qsizetype(std::min<size_t>(size, NameRegisters)));
    const DayNightSchedule schedule{QStringLiteral("50"), boardNameOf(codes), {}};

    const QStringList lines = scheduleLines(schedule);
    check(lines.size() == PrintedLines && lines.first().startsWith(QStringLiteral("Name=")));
    check(std::ranges::none_of(lines, holdsControl));
    if (!holdsControl(schedule.name))
        check(lines.first() == QStringLiteral("Name=") + schedule.name);

    check(toWindows1252(schedule.name) == QByteArray(codes).replace('\0', QByteArray()));
    check(boardCodeProblem(schedule.name).isEmpty());

    const QString problem = nameProblem(schedule.name);
    if (holdsControl(schedule.name))
        check(!problem.isEmpty());
    check(!holdsControl(problem));
    return 0;
}
