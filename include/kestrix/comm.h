#pragma once
// Kestrix display boards from other programs: the channel class CComm with the display
// operations, which show exchange rates on a rate board, switch a board's brightness mode,
// test the line and send the time.
//
// Open the channel, call any number of operations, close it:
//
//     CComm board;
//     if (board.Open(1, 9600) == 0) {
//         char answer = board.SetCurrency(3, 1, 1.5, 1.4567);   // '>' when the board accepted
//         board.Close();
//     }
//
// Port numbers 1 to 20 name devices through the [Ports] section of the utility's config.ini
// (COM1=/dev/ttyUSB0, COM2=rfc2217://10.0.0.7:2001); without an entry COM1-COM4 are /dev/ttyS0-3, COM5-COM12 /dev/ttyUSB0-7 and
// COM13-COM20 /dev/ttyACM0-7. config.ini is read from KESTRIX_DATA_DIR when set, else from the
// utility's data folder.
//
// Each line the board does not accept is retried within the operation (start line, operation
// line, end line, up to five attempts; the port is closed and opened again once on the way).
// The operations never show anything and never throw.
//
// Thread safety: one CComm is used by one thread at a time. Different objects (on different
// ports) may be used by different threads at once; they share nothing.

#include <functional>
#include <string>

#if defined(_WIN32)
#include <windows.h>  // SYSTEMTIME
#if defined(KESTRIX_COMM_BUILDING)
#define KESTRIX_COMM_API __declspec(dllexport)
#else
#define KESTRIX_COMM_API __declspec(dllimport)
#endif
#else
#define KESTRIX_COMM_API __attribute__((visibility("default")))

// A point in time with the members of the Windows time record. SetTime uses the second,
// minute, hour, day, month and year; the day of the week and the milliseconds are ignored.
struct SYSTEMTIME {
    unsigned short wYear;
    unsigned short wMonth;
    unsigned short wDayOfWeek;
    unsigned short wDay;
    unsigned short wHour;
    unsigned short wMinute;
    unsigned short wSecond;
    unsigned short wMilliseconds;
};
#endif

class KESTRIX_COMM_API CComm {
public:
    CComm();
    virtual ~CComm();
    CComm(const CComm &) = delete;
    CComm &operator=(const CComm &) = delete;

    // Opens port 1..20 at the speed in bits per second (8 data bits, no parity, 1 stop bit, no
    // flow control). 0 on success; -1 for a port number outside 1..20; -2 when the device cannot
    // be opened (missing, no permission, or held by another program); -3 when its read
    // time-outs cannot be set. The port and speed are kept also when Open fails.
    int Open(int port, int speed);
    // Opens a device named by its text instead of a port number: a path ("/dev/ttyUSB0"), or a
    // board behind a network serial server, "rfc2217://host:port" (line settings travel to the
    // server) or "tcp://host:port" (the server's line settings are fixed). Results as for Open;
    // a text that names no device, or a server that cannot be reached, gives -2.
    int OpenDevice(const std::string &device, int speed);
    // Closes the port. Call it once after each successful Open.
    void Close();

    // Shows two values on line `line` of a rate board: the line "$" line kind "|" value "|"
    // value "|", the values right-aligned in 7 characters (1.5, 12.0, 1234.56; a value wider
    // than 7 characters is cut: 123456.7 shows "123456.", 10000000 shows "1000000"; NaN shows
    // "nan.0", infinities "inf.0" and "-inf.0"). kind: 0 "U", 1 "I", 2 "B".
    // Returns '>' when the board accepted the exchange; otherwise the last other answer the
    // board gave, or 0 when it gave none (also for a kind outside 0..2, when nothing is sent).
    char SetCurrency(int line, int kind, double first, double second);
    // The same with a currency code and a kind text, both ignoring letter case: EUR line 8,
    // ATS 7, FRF 6, DEM 5, ITL 4, CAD 3, CHF 2, GBR 1, USD 0; kind "U", "I" or "B". True exactly
    // when the board accepted; false without sending anything for a code or kind not listed.
    bool SetCurrency(std::string currency, std::string kind, double first, double second);
    // Sets the brightness mode of the board at `address`: type 0 "U", 1 "I", 2 "A" (automatic
    // between two times of day, hh:mm each; the times are used only by type 2). Result as for
    // SetCurrency (0 at once for a type outside 0..2).
    char SetIntensity(int address, int type, int firstHours, int firstMinutes, int secondHours,
                      int secondMinutes);
    // Tests the line: start line, "T", and the end line when "T" was accepted. The last answer,
    // '>' when all was accepted, 0 when the board gave none.
    char Test();
    // Sends the time as six lower-case hexadecimal pairs, second:minute:hour:day:month:year
    // modulo 100 (2014-05-13 09:07:15 is "0f:07:09:0d:05:0e"), without framing or answer.
    // Calls the time confirmation first, when one is set. '>' when the text was written, 0 when
    // the write failed or `time` is null.
    char SetTime(SYSTEMTIME *time);

    // Called by SetTime with the time text before it is sent, on the calling thread; a program
    // with a window may show it there. None by default.
    void SetTimeConfirmation(std::function<void(const std::string &timeText)> confirmation);

private:
    struct Channel;
    Channel *m_channel;
};
