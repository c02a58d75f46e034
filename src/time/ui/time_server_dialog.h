#pragma once
// The time-server dialog (dialog 173): a time zone and one of six servers of config.ini, and
// "Upload Time && Date from NTP server" asking that server for the time. The requests belong to
// TimeServerRequests, which the main window owns: closing the dialog leaves an outstanding
// request running, and its reply is still uploaded. Each reply becomes an upload job on the
// session's board queue, behind any job running there.

#include "comm/board_job.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>

class QComboBox;
class QLabel;
class QPushButton;

namespace kestrix {

class BoardPanel;

// Requests to time servers, each with its own client, and the upload of each reply as a board
// job on the session's queue, with the offset of its request. The upload shows in the panel of
// the dialog that asked while it is open, else in the window's.
class TimeServerRequests : public QObject {
    Q_OBJECT
public:
    // `window` owns the object; its `panel` shows the uploads of replies that arrive after the
    // dialog closed (without one, they are the window's jobs on the session's queue).
    explicit TimeServerRequests(QWidget *window, BoardPanel *panel = nullptr);

    // Asks the server `address` names ("host" or "host:port"); returns the request's number.
    // The reply's upload shows in `panel` while it is visible. An address that is not valid
    // ends the request with what is wrong with it.
    int request(const QString &address, int offsetHours, BoardPanel *panel = nullptr);
    // Requests and uploads not yet ended.
    int outstanding() const { return m_waiting + m_uploading; }
    void setTimeoutMs(int timeoutMs) { m_timeoutMs = timeoutMs; }

Q_SIGNALS:
    // The request's failure as the status line shows it, after "Status: ".
    void ended(int request, const QString &status);
    // The request could not go out: text 5072 or 5073, for a message box.
    void notSent(int request, kestrix::TextId text);
    // The reply's upload job has ended.
    void uploaded(int request, const kestrix::JobEnding &ending);

private:
    void upload(int request, std::uint32_t seconds, const QString &address, int offsetHours,
                const QPointer<BoardPanel> &panel);

    QWidget *m_window;
    QPointer<BoardPanel> m_windowPanel;
    int m_timeoutMs;
    int m_requests = 0;
    int m_waiting = 0;
    int m_uploading = 0;
};

class TimeServerDialog : public QDialog {
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
    explicit TimeServerDialog(TimeServerRequests &requests, QWidget *parent = nullptr);
    explicit TimeServerDialog(QWidget *parent = nullptr);

    QComboBox *zoneList() const { return m_zones; }
    QComboBox *serverList() const { return m_servers; }
    QLabel *statusLine() const;
    BoardPanel *panel() const { return m_panel; }
    TimeServerRequests &requests() { return *m_requests; }

    void OnRequest();

    // Closing while a request waits is allowed (its reply is still uploaded); while the upload
    // job runs, asks first.
    void done(int result) override;

private:
    void setUp();
    void createControls();
    void loadServers();
    void showStatus(const QString &message);
    void requestEnded(int request, const QString &status);
    void requestNotSent(int request, TextId text);

    TimeServerRequests *m_requests;
    std::array<QString, ServerCount> m_addresses;
    QComboBox *m_zones = nullptr;
    QComboBox *m_servers = nullptr;
    BoardPanel *m_panel = nullptr;
    int m_lastRequest = 0;
};

} // namespace kestrix
