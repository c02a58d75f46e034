// What the board sends back, as the utility reads it: an answer's text has the form its count
// prescribes; a one-byte answer's hexadecimal form is always two lower-case digits and gives the
// byte back; board text is printable once escaped; Windows-1252 text survives the round trip
// byte for byte.

#include "fuzz_support.h"
#include "base/text_encoding.h"
#include "comm/protocol.h"
#include "comm/serial_channel.h"
#include "comm/trace.h"

#include <QByteArray>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

using namespace kestrix;
using namespace kestrix::fuzz;

namespace {

void checkHexText(const std::string &answer)
{
    const std::string hex = ToHexText(answer);
    check(hex.size() == 2);
    for (char digit : hex)
        check((digit >= '0' && digit <= '9') || (digit >= 'a' && digit <= 'f'));
    // A decimal byte, as the channel gives it, comes back as itself.
    bool isByte = !answer.empty() && answer.size() <= 3;
    for (char digit : answer)
        isByte = isByte && digit >= '0' && digit <= '9';
    if (isByte && std::stoi(answer) <= 255)
        check(std::stoi(hex, nullptr, 16) == std::stoi(answer));
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void checkAnswerText(const std::string &answer, int count)
{
    const std::string text = SerialChannel::formatAnswer(answer.data(), int(answer.size()), count);
    switch (count) {
    case 1: {
        check(text.size() >= 2 && text.size() <= 3);
        check(std::stoi(text) == static_cast<unsigned char>(answer[0]));
        check(ToHexText(text).size() == 2);
        return;
    }
    case 5: case 10: case 24:
        check(text.size() <= std::size_t(count) + 4);
        check(text.find('\0') == std::string::npos);
        check(text.empty() || (!isBlank(text.front()) && !isBlank(text.back())));
        check(count == 5 || text.rfind(count == 24 ? "sw:" : "hw:", 0) == 0);
        return;
    default:
        check(text.empty());
    }
}

void checkPrintable(const QByteArray &bytes)
{
    for (QChar ch : CommTrace::printable(bytes))
        check(ch.unicode() >= 0x20 && ch.unicode() < 0x7f);
    for (QChar ch : CommTrace::printableText(fromWindows1252(bytes)))
        check(!ch.isNull() && ch.category() != QChar::Other_Control);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    checkHexText(data.ConsumeRandomLengthString(8));
    constexpr int Counts[] = {1, 5, 10, 24, 3};
    const int count = Counts[data.ConsumeIntegralInRange(0, 4)];
    const std::string answer = data.ConsumeRandomLengthString(std::size_t(count));
    if (!answer.empty())
        checkAnswerText(answer, count);
    const std::string rest = data.ConsumeRemainingBytesAsString();
    const QByteArray text(rest.data(), qsizetype(rest.size()));
    checkPrintable(text);
    check(toWindows1252(fromWindows1252(text)) == text);
    return 0;
}
