#pragma once
// Setting the board's clock from a time server: the Time Protocol's answer (seconds since
// 1900-01-01 00:00 UTC, 32 bits) turned into the clock registers' texts, and their upload.

#include "comm/board_job.h"
#include "time/time_upload.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

namespace kestrix {

inline constexpr std::uint16_t TimeProtocolPort = 37;
inline constexpr int MinTimeZoneOffset = -12;
inline constexpr int MaxTimeZoneOffset = 12;

// A server as the configuration names it: "host", "host:port", "[v6address]:port" or a bare IPv6
// address; without a port the Time Protocol's 37. The host is an IP address or a host name
// (labels of letters, digits, "-" and "_", international names too).
struct ServerAddress {
    QString host;
    std::uint16_t port = TimeProtocolPort;
};
// Nothing for a text that names no host, a host that is neither a name nor an address, or a
// port that is not 1-65535; *problem then says which ("The server address "x" is not valid:
// ..."), so that a typing error is not taken for a server that does not answer.
std::optional<ServerAddress> parseServerAddress(const QString &text, QString *problem = nullptr);

// The instant a 32-bit answer stands for. The 32 bits wrap on 2036-02-07 06:28:16 UTC: a value
// below 2^31 counts from there (the next era), as servers of our time answer.
QDateTime serverTimeUtc(std::uint32_t seconds);

// The clock registers' texts of that instant shifted by whole hours: seconds, minutes, hours,
// weekday (Monday 1 to Sunday 7, two digits), day, month, year of the century, two digits each.
// The date and weekday follow the shifted time.
ClockValues serverClockFields(std::uint32_t seconds, int offsetHours);

// "17:00:00 29.01.14": the fields as a status line names them.
QString shownServerTime(const ClockValues &fields);

// The form of the window that shows the upload: the time-server dialog's ("Status: The board
// did not answer; the time was not set." on a failed check) or, once the dialog is closed, the
// main window's.
StatusForm serverTimeForm(bool mainWindow);

// Writes W000-W006 (10 ms after each, no "DLS") after the envelope's check and preamble;
// without a board nothing is sent. Ends with "Time & Date Uploaded.", or with "Time <fields>
// uploaded from <server>." when the server is named.
BoardJob<NoData> serverTimeUploadJob(const ClockValues &fields, StatusForm form, const QString &server = {});

// The time zone offset of config.ini [Settings] TimeZone: 0 when absent; a number beyond
// -12..+12 gives the nearest zone, and any other text 0 (the time-server dialog's first choice),
// each with a warning in *warning.
int configuredTimeZone(QString *warning = nullptr);
// "UTC+1", "UTC-12", "UTC+0".
QString timeZoneName(int offsetHours);
bool storeTimeZone(int offsetHours, QString *error = nullptr);

} // namespace kestrix
