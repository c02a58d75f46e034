#pragma once
// The display operations that other programs use on a channel they opened: rate lines,
// brightness modes, the line test and the time text. Each line but the time text is answered by
// one character, ">" when the board accepts it.
//
// An exchange (rate or brightness line) is framed by a start and an end line and repeated while
// the board rejects or ignores a line: the retry count of the channel rises from 2 to at most 6,
// and when it reaches 4 after an unanswered start line the port is reset (closed and opened
// again). A board that never answers so receives five start lines and nothing else.
//
// One object is used by one thread at a time; objects on different channels are independent.

#include "comm/serial_channel.h"
#include "export/display_line.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix::display {

// Called with the time text before it is sent, e.g. to let an operator see it.
using TimeConfirmation = std::function<void(const std::string &timeText)>;
// Asked before each line; once it says true no further line goes out and the port is left as it
// is.
using CancelCheck = std::function<bool()>;

class DisplayExchange {
public:
    explicit DisplayExchange(SerialChannel &channel);

    // ">" when the board accepted the end line of the exchange. Otherwise the last answer other
    // than ">" the board gave, or 0 when it gave none. 0 at once for a kind outside 0..2.
    char setCurrency(int line, int kind, double first, double second);
    // The currency code and kind text through their tables; true exactly when the number form
    // gives ">". A code or text outside the tables gives false and sends nothing.
    bool setCurrency(std::string_view code, std::string_view kindText, double first, double second);
    // As setCurrency for a brightness line; the times matter only to type 2.
    char setIntensity(int address, int type, const BrightnessTimes &times);
    // Start line (after a rejected one the port is reset), test line, and the end line when the
    // test line was accepted. The last answer taken, 0 when it was none.
    char test();
    // Sends the time text alone, after the confirmation if one is set. ">" when it was written,
    // 0 when the write failed.
    char setTime(const TimeFields &time);

    void setTimeConfirmation(TimeConfirmation confirmation) { m_confirmation = std::move(confirmation); }
    void setCancelCheck(CancelCheck cancelled) { m_cancelled = std::move(cancelled); }

    static constexpr int FirstRetry = 2;
    static constexpr int PortResetAt = 4;
    static constexpr int RetryLimit = 6;

private:
    char exchange(const std::string &line);
    bool attempt(const std::string &line);
    std::optional<char> take(std::string_view line);
    bool accepted(std::string_view line);
    bool stopped() const;
    void resetPort();

    SerialChannel &m_channel;
    TimeConfirmation m_confirmation;
    CancelCheck m_cancelled;
    bool m_endAccepted = false;
    char m_lastRejection = 0;
};

} // namespace kestrix::display
