#include "time/ui/time_server_dialog.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "time/time_server.h"
#include "time/time_server_client.h"
#include "widgets/fixed_dialog.h"
#include "widgets/localize.h"
#include "widgets/board_panel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <memory>
#include <utility>

namespace kestrix {
namespace {

// The time zones by list position; position 12 is offset 0. Fixed texts, not localised.
constexpr const char *TimeZones[MaxTimeZoneOffset - MinTimeZoneOffset + 1] = {
    "(GMT-12:00) International Date Line West",
    "(GMT-11:00) Midway Island, Samoa",
    "(GMT-10:00) Hawaii",
    "(GMT-09:00) Alaska",
    "(GMT-08:00) Pacific Time (US & Canada); Tijuana",
    "(GMT-07:00) Arizona; Chihuahua, La Paz, Mazatlan",
    "(GMT-06:00) Central Time (US & Canada); Mexico City",
    "(GMT-05:00) Eastern Time (US & Canada); Bogota",
    "(GMT-04:00) Atlantic Time (Canada); Santiago",
    "(GMT-03:00) Brasilia, Buenos Aires, Greenland",
    "(GMT-02:00) Mid-Atlantic",
    "(GMT-01:00) Azores; Cape Verde Is.",
    "(GMT) Greenwich Mean Tim: Dublin, Lisbon, London",
    "(GMT+01:00) Amsterdam, Belgrade, Copenhagen, Paris",
    "(GMT+02:00) Athens, Bucharest, Cairo, Helsinki",
    "(GMT+03:00) Baghdad, Kuwait, Moscow, Nairobi",
    "(GMT+04:00) Abu Dhabi, Baku, Tbilisi",
    "(GMT+05:00) Ekaterinburg, Islamabad, Karachi",
    "(GMT+06:00) Almaty, Novosibirsk, Astana, Dhaka",
    "(GMT+07:00) Bangkok, Hanoi, Jakarta, Krasnoyarsk",
    "(GMT+08:00) Beijing, Hong Kong, Singapore",
    "(GMT+09:00) Osaka, Tokyo, Seoul, Yakutsk",
    "(GMT+10:00) Canberra, Melbourne, Sydney",
    "(GMT+11:00) Magadan, New Caledonia",
    "(GMT +12:00) Auckland, Wellington, Fiji",
};

const QString SettingsSection = QStringLiteral("Settings");

QString serverKey(int server)
{
    return QStringLiteral("NTPServer%1").arg(server + 1);
}

// The status line of a window's form: a dialog's one line reads "Status: " and the text.
QString statusText(const BoardPanel &panel, const QString &text)
{
    return panel.lineCount() == 1 ? textOr(Text::Status, QStringLiteral("Status:")) + u' ' + text : text;
}

} // namespace

TimeServerRequests::TimeServerRequests(QWidget *window, BoardPanel *panel)
    : QObject(window), m_window(window), m_windowPanel(panel), m_timeoutMs(TimeServerClient::DefaultTimeoutMs)
{
}

int TimeServerRequests::request(const QString &address, int offsetHours, BoardPanel *panel)
{
    const int number = ++m_requests;
    QString problem;
    const std::optional<ServerAddress> server = parseServerAddress(address, &problem);
    if (!server) {
        QMetaObject::invokeMethod(this, [this, number, problem] { Q_EMIT ended(number, problem); }, Qt::QueuedConnection);
        return number;
    }
    // A client per request, so that each reply is uploaded with its own request's offset.
    // Queued, so that a failure the client finds at once reaches the caller after it has the
    // request's number.
    auto *client = new TimeServerClient(this);
    ++m_waiting;
    connect(client, &TimeServerClient::replied, this,
            [=, this, panel = QPointer<BoardPanel>(panel)](std::uint32_t seconds) {
                --m_waiting;
                client->deleteLater();
                upload(number, seconds, address, offsetHours, panel);
            },
            Qt::QueuedConnection);
    connect(client, &TimeServerClient::failed, this, [=, this](TimeServerClient::Failure failure) {
        --m_waiting;
        client->deleteLater();
        if (failure == TimeServerClient::Failure::Unavailable)
            Q_EMIT ended(number, LookupText(Text::NtpUnavailable));
        else
            Q_EMIT notSent(number, TimeServerClient::textOf(failure));
    }, Qt::QueuedConnection);
    client->request(*server, m_timeoutMs);
    return number;
}

// The upload goes to the session's queue behind whatever runs there; while it waits, the
// window that shows it says so.
void TimeServerRequests::upload(int request, std::uint32_t seconds, const QString &address, int offsetHours,
                                const QPointer<BoardPanel> &dialogPanel)
{
    const bool inDialog = dialogPanel && dialogPanel->isVisible();
    BoardPanel *panel = inDialog ? dialogPanel.data() : m_windowPanel.data();
    BoardJob<NoData> job = serverTimeUploadJob(serverClockFields(seconds, offsetHours), serverTimeForm(!inDialog),
                                               address);
    ++m_uploading;
    // Counted as ended once its result arrives, or once the window showing it is gone. The
    // watch on the window goes with the upload's end, so that replies leave no connection behind.
    auto counted = std::make_shared<bool>(false);
    auto panelGone = std::make_shared<QMetaObject::Connection>();
    auto end = [this, counted, panelGone, request](const JobEnding &ending) {
        if (std::exchange(*counted, true))
            return;
        disconnect(*panelGone);
        --m_uploading;
        Q_EMIT uploaded(request, ending);
    };
    const bool waits = BoardQueues::instance().session().busy();
    auto done = [end](const JobResult<NoData> &result) { end(result.ending); };
    if (panel) {
        *panelGone = connect(panel, &QObject::destroyed, this, [end] { end(JobEnding{Outcome::Cancelled, 0, 0, {}}); });
        panel->submit(std::move(job), done);
        if (waits)
            panel->setLine(0, statusText(*panel, LookupText(Text::ServerTimeQueued)));
    } else {
        BoardQueues::instance().session().submit(std::move(job), m_window, done);
    }
}

TimeServerDialog::TimeServerDialog(TimeServerRequests &requests, QWidget *parent)
    : QDialog(parent), m_requests(&requests)
{
    setUp();
}

TimeServerDialog::TimeServerDialog(QWidget *parent) : QDialog(parent)
{
    m_requests = new TimeServerRequests(this);
    setUp();
}

void TimeServerDialog::setUp()
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("Adjust Time & Date via NTP server Dialog"));
    createControls();
    loadServers();
    QString zoneWarning;
    m_zones->setCurrentIndex(configuredTimeZone(&zoneWarning) - MinTimeZoneOffset);
    connect(m_requests, &TimeServerRequests::ended, this, &TimeServerDialog::requestEnded);
    connect(m_requests, &TimeServerRequests::notSent, this, &TimeServerDialog::requestNotSent);
    LocalizeDialog(this, DialogNumber);
    // A TimeZone of config.ini that is no zone: the list shows the zone used, the status why.
    if (!zoneWarning.isEmpty())
        showStatus(zoneWarning);
    fixDialogSize(this);
}

void TimeServerDialog::createControls()
{
    auto *layout = new QGridLayout(this);
    layout->addWidget(numberedLabel(ZoneLabel, QStringLiteral("Select Time Zone:"), this), 0, 0);
    m_zones = new QComboBox(this);
    setControlNumber(m_zones, ZoneList);
    for (const char *zone : TimeZones)
        m_zones->addItem(QString::fromUtf8(zone));
    layout->addWidget(m_zones, 1, 0);

    layout->addWidget(numberedLabel(ServerLabel, QStringLiteral("Select NTP server:"), this), 2, 0);
    m_servers = new QComboBox(this);
    setControlNumber(m_servers, ServerList);
    layout->addWidget(m_servers, 3, 0);

    m_panel = BoardPanel::forDialog(BoardQueues::instance().session(), StatusLine, this);
    statusLine()->setText(textOr(Text::Status, QStringLiteral("Status:")));
    layout->addWidget(m_panel, 4, 0);

    auto *upload = new QPushButton(QStringLiteral("Upload Time && Date from NTP server"), this);
    setControlNumber(upload, UploadButton);
    upload->setAutoDefault(false);
    connect(upload, &QPushButton::clicked, this, &TimeServerDialog::OnRequest);
    layout->addWidget(upload, 5, 0);

    auto *close = new QPushButton(textOr(Text::CloseButton, QStringLiteral("Close")), this);
    setControlNumber(close, CloseButton);
    close->setDefault(true);
    const QIcon closeIcon(resourceFilePath(QStringLiteral("close.png")));
    if (!closeIcon.isNull())
        close->setIcon(closeIcon);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(close, 6, 0, Qt::AlignCenter);
}

// Names shown, addresses kept; the first name beginning with server 1's name is selected.
void TimeServerDialog::loadServers()
{
    const IniFile config = configFile();
    for (int server = 0; server < ServerCount; ++server) {
        m_addresses[size_t(server)] = config.read(SettingsSection, serverKey(server));
        m_servers->addItem(config.read(SettingsSection, serverKey(server) + u'd'));
    }
    const QString first = m_servers->itemText(0);
    for (int index = 0; index < m_servers->count(); ++index) {
        if (m_servers->itemText(index).startsWith(first, Qt::CaseInsensitive)) {
            m_servers->setCurrentIndex(index);
            break;
        }
    }
}

// The time zone is stored before the request goes out: it is the one the reply is shown in.
void TimeServerDialog::OnRequest()
{
    showStatus(LookupText(Text::PleaseWait));
    const int index = m_servers->currentIndex();
    const QString address = index >= 0 ? m_addresses[size_t(index)] : QString();
    const int offset = m_zones->currentIndex() + MinTimeZoneOffset;
    storeTimeZone(offset);
    m_lastRequest = m_requests->request(address, offset, m_panel);
}

QLabel *TimeServerDialog::statusLine() const
{
    return m_panel->line(0);
}

void TimeServerDialog::showStatus(const QString &message)
{
    m_panel->setLine(0, statusText(*m_panel, message));
}

void TimeServerDialog::done(int result)
{
    if (m_panel->confirmClose())
        QDialog::done(result);
}

void TimeServerDialog::requestEnded(int request, const QString &status)
{
    if (request == m_lastRequest)
        showStatus(status);
}

void TimeServerDialog::requestNotSent(int request, TextId textId)
{
    if (request != m_lastRequest)
        return;
    const QString text = LookupText(textId);
    showStatus(text);
    m_panel->showMessage(text, MessageIcon::None);
}

} // namespace kestrix
