// The C interface of the exported library: CComm's operations on an opaque handle. A NULL
// handle (kestrix_comm_new gives one when memory runs out) gets each function's failure value,
// so that a caller who did not check it sees a failed operation instead of a crash.

#include <kestrix/comm.h>
#include <kestrix/comm_c.h>

#include <new>

struct kestrix_comm {
    CComm comm;
};

namespace {

// What a function returns for a NULL handle: the port cannot be opened, and no board answered.
constexpr int NoChannel = -2;
constexpr int NoAnswer = 0;

unsigned short field(int value)
{
    return static_cast<unsigned short>(value);
}

} // namespace

extern "C" {

kestrix_comm *kestrix_comm_new(void)
{
    return new (std::nothrow) kestrix_comm;
}

void kestrix_comm_free(kestrix_comm *comm)
{
    if (!comm)
        return;
    comm->comm.Close();
    delete comm;
}

int kestrix_comm_open(kestrix_comm *comm, int port, int speed)
{
    return comm ? comm->comm.Open(port, speed) : NoChannel;
}

int kestrix_comm_open_device(kestrix_comm *comm, const char *device, int speed)
{
    return comm && device ? comm->comm.OpenDevice(device, speed) : NoChannel;
}

void kestrix_comm_close(kestrix_comm *comm)
{
    if (comm)
        comm->comm.Close();
}

int kestrix_comm_set_currency(kestrix_comm *comm, int line, int kind, double first, double second)
{
    return comm ? static_cast<unsigned char>(comm->comm.SetCurrency(line, kind, first, second)) : NoAnswer;
}

int kestrix_comm_set_currency_code(kestrix_comm *comm, const char *currency, const char *kind, double first,
                                   double second)
{
    if (!comm || !currency || !kind)
        return NoAnswer;
    return comm->comm.SetCurrency(std::string(currency), std::string(kind), first, second) ? 1 : 0;
}

int kestrix_comm_set_intensity(kestrix_comm *comm, int address, int type, int first_hours, int first_minutes,
                               int second_hours, int second_minutes)
{
    if (!comm)
        return NoAnswer;
    return static_cast<unsigned char>(
        comm->comm.SetIntensity(address, type, first_hours, first_minutes, second_hours, second_minutes));
}

int kestrix_comm_test(kestrix_comm *comm)
{
    return comm ? static_cast<unsigned char>(comm->comm.Test()) : NoAnswer;
}

int kestrix_comm_set_time(kestrix_comm *comm, const kestrix_time *time)
{
    if (!comm || !time)
        return NoAnswer;
    SYSTEMTIME record{field(time->year), field(time->month), 0, field(time->day), field(time->hour),
                      field(time->minute), field(time->second), 0};
    return static_cast<unsigned char>(comm->comm.SetTime(&record));
}

void kestrix_comm_set_time_confirmation(kestrix_comm *comm, kestrix_time_confirmation callback, void *context)
{
    if (!comm)
        return;
    if (!callback) {
        comm->comm.SetTimeConfirmation({});
        return;
    }
    comm->comm.SetTimeConfirmation([callback, context](const std::string &text) { callback(text.c_str(), context); });
}

} // extern "C"
