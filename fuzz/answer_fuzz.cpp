// What the board sends back, as the utility reads it: a one-byte answer's hexadecimal form is
// always two lower-case digits and gives the byte back; board text is printable once escaped for
// the trace; Windows-1252 text survives the round trip byte for byte.

#include "base/text_encoding.h"
#include "comm/protocol.h"
#include "comm/trace.h"

#include <QByteArray>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

using namespace kestrix;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

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

void checkPrintable(const QByteArray &bytes)
{
    const QString shown = CommTrace::printable(bytes);
    for (QChar ch : shown)
        check(ch.unicode() >= 0x20 && ch.unicode() < 0x7f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    checkHexText(data.ConsumeRandomLengthString(8));
    const std::string rest = data.ConsumeRemainingBytesAsString();
    const QByteArray text(rest.data(), qsizetype(rest.size()));
    checkPrintable(text);
    check(toWindows1252(fromWindows1252(text)) == text);
    return 0;
}
