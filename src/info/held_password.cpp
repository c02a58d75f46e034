#include "info/held_password.h"

#include <mutex>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace kestrix {

namespace {

std::mutex holdMutex;
int holders = 0;
bool dumpsWereAllowed = true;

} // namespace

PasswordHold::PasswordHold()
{
    const std::lock_guard lock(holdMutex);
    if (holders++ > 0)
        return;
#if defined(__linux__)
    // 2 ("suidsafe") cannot be set again; such a process stays without dumps afterwards.
    dumpsWereAllowed = ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 1;
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

PasswordHold::~PasswordHold()
{
    const std::lock_guard lock(holdMutex);
    if (--holders > 0)
        return;
#if defined(__linux__)
    if (dumpsWereAllowed)
        ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
#endif
}

bool coreDumpsAllowed()
{
#if defined(__linux__)
    return ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) != 0;
#else
    return true;
#endif
}

void wipeBytes(void *data, std::size_t size)
{
    volatile unsigned char *byte = static_cast<unsigned char *>(data);
    for (std::size_t i = 0; i < size; ++i)
        byte[i] = 0;
}

// The characters are written through the shared buffer, without detaching: every copy of the
// text is overwritten. Texts in read-only memory (literals) hold no password and are let be.
void wipe(QString &text)
{
    QString::DataPointer &data = text.data_ptr();
    if (data.isMutable())
        wipeBytes(data.data(), std::size_t(text.capacity()) * sizeof(char16_t));
    text = QString();
}

void wipe(QByteArray &bytes)
{
    QByteArray::DataPointer &data = bytes.data_ptr();
    if (data.isMutable())
        wipeBytes(data.data(), std::size_t(bytes.capacity()));
    bytes = QByteArray();
}

void wipe(std::string &bytes)
{
    bytes.resize(bytes.capacity());
    wipeBytes(bytes.data(), bytes.size());
    bytes.clear();
    bytes.shrink_to_fit();
}

} // namespace kestrix
