#pragma once
// The clearing password in memory: while one is held the process writes no core dump (Linux),
// and once it has been compared its buffers are overwritten, so that neither a dump nor memory
// handed back to the allocator keeps it.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <string>
#include <utility>

namespace kestrix {

// The longest password line taken; a longer one is refused, not read to its end.
inline constexpr int MaxPasswordBytes = 1024;

// Core dumps are off from the first holder's start to the last holder's end, then as before.
// Holders may overlap (the prompt, the comparison); safe from any thread.
class PasswordHold {
public:
    PasswordHold();
    ~PasswordHold();
    PasswordHold(const PasswordHold &) = delete;
    PasswordHold &operator=(const PasswordHold &) = delete;
};

// Whether the process would write a core dump now (always true where that cannot be told).
bool coreDumpsAllowed();

// Overwrites bytes so that the compiler cannot leave the stores out.
void wipeBytes(void *data, std::size_t size);
// Overwrites the characters in place, in every copy that shares them, then empties the text.
// Copies Qt made on its own (a detached copy, an encoder's buffer) are out of reach.
void wipe(QString &text);
void wipe(QByteArray &bytes);
void wipe(std::string &bytes);

// A text that is wiped when it goes.
struct WipedText {
    QString text;

    WipedText() = default;
    explicit WipedText(QString value) : text(std::move(value)) {}
    WipedText(const WipedText &) = delete;
    WipedText &operator=(const WipedText &) = delete;
    ~WipedText() { wipe(text); }
};

} // namespace kestrix
