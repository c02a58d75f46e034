#pragma once
// The time-server dialog (dialog 173): a time zone and one of six servers of config.ini, and
// "Upload Time && Date from NTP server" asking that server for the time. The requests and the
// uploads of their replies belong to TimeServerRequests, which the main window owns: closing the
// dialog leaves an outstanding request running, ending the program stops it.

#include "comm/operation_runner.h"
#include "comm/serial_settings.h"

#include <QDialog>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>

class QComboBox;
class QLabel;
class QPushButton;

namespace kestrix {

// Requests to time servers, each with its own client, and the upload of each reply, on a
// worker of its own, with the offset and serial settings of its request.
class TimeServerRequests : public QObject {
    Q_OBJECT
public:
    // The runner's message boxes show over `window`, which also owns the object.
    explicit TimeServerRequests(QWidget *window);

    // Asks the server `address` names ("host" or "host:port"); returns the request's number.
    int request(const QString &address, SerialSettings settings, int offsetHours);
    // Requests and uploads not yet ended.
    int outstanding() const { return m_waiting + m_uploading; }
    void setTimeoutMs(int timeoutMs) { m_timeoutMs = timeoutMs; }
    OperationRunner &runner() { return m_runner; }

Q_SIGNALS:
    // The request's outcome as the status line shows it, after "Status: ".
    void ended(int request, const QString &status);
    // The request could not go out: text 5072 or 5073, for a message box.
    void notSent(int request, int textNumber);

private:
    void upload(int request, std::uint32_t seconds, const QString &address, SerialSettings settings,
                int offsetHours);

    OperationRunner m_runner;
    int m_timeoutMs;
    int m_requests = 0;
    int m_waiting = 0;
    int m_uploading = 0;
};

class CNTPServerDlg : public QDialog {
    Q_OBJECT
public:
    // Control numbers of the dialog.
    enum Control {
        CloseButton = 1,
        UploadButton = 1124,
        ZoneList = 1125,
        ServerList = 1126,
        StatusLine = 1134,
        ZoneLabel = 1203,
        ServerLabel = 1204,
    };
    static constexpr int DialogNumber = 173;
    static constexpr int ServerCount = 6;

    // With the window's requests; without, the dialog keeps requests of its own, which end
    // with it.
    explicit CNTPServerDlg(TimeServerRequests &requests, QWidget *parent = nullptr);
    explicit CNTPServerDlg(QWidget *parent = nullptr);

    QComboBox *zoneList() const { return m_zones; }
    QComboBox *serverList() const { return m_servers; }
    QLabel *statusLine() const { return m_status; }
    TimeServerRequests &requests() { return *m_requests; }

    void OnRequest();

private:
    void setUp();
    void createControls();
    void loadServers();
    void showStatus(const QString &message);
    void requestEnded(int request, const QString &status);
    void requestNotSent(int request, int textNumber);

    TimeServerRequests *m_requests;
    std::array<QString, ServerCount> m_addresses;
    QComboBox *m_zones = nullptr;
    QComboBox *m_servers = nullptr;
    QLabel *m_status = nullptr;
    int m_lastRequest = 0;
};

} // namespace kestrix
