#include "time/ui/ntp_server_dlg.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "time/time_server.h"
#include "time/time_server_client.h"
#include "widgets/localize.h"
#include "widgets/operation_progress.h"

#include <QComboBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

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

// "17:00:00 29.01.14": the uploaded fields as the status line names them.
QString shownTime(const ClockValues &fields)
{
    return QStringLiteral("%1:%2:%3 %4.%5.%6")
        .arg(fields[Clock::Hours], fields[Clock::Minutes], fields[Clock::Seconds], fields[Clock::Day],
             fields[Clock::Month], fields[Clock::Year]);
}

QString outcomeText(Outcome outcome, const ClockValues &fields, const QString &address)
{
    if (outcome == Outcome::Completed)
        return textOr(Text::ServerTimeUploaded, QStringLiteral("Time %1 uploaded from %2."))
            .arg(shownTime(fields), address);
    return textOr(Text::ServerTimeNotSet, QStringLiteral("The board did not answer; the time was not set."));
}

} // namespace

TimeServerRequests::TimeServerRequests(QWidget *window)
    : QObject(window), m_timeoutMs(TimeServerClient::DefaultTimeoutMs)
{
    showMessageBoxesOver(window, m_runner);
}

int TimeServerRequests::request(const QString &address, SerialSettings settings, int offsetHours)
{
    const int number = ++m_requests;
    const std::optional<ServerAddress> server = parseServerAddress(address);
    if (!server) {
        QMetaObject::invokeMethod(this, [this, number] { Q_EMIT ended(number, LookupText(Text::NtpUnavailable)); },
                                  Qt::QueuedConnection);
        return number;
    }
    // A client per request, so that each reply is uploaded with its own request's settings.
    // Queued, so that a failure the client finds at once reaches the caller after it has the
    // request's number.
    auto *client = new TimeServerClient(this);
    ++m_waiting;
    connect(client, &TimeServerClient::replied, this, [=, this](std::uint32_t seconds) {
        --m_waiting;
        client->deleteLater();
        upload(number, seconds, address, settings, offsetHours);
    }, Qt::QueuedConnection);
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

void TimeServerRequests::upload(int request, std::uint32_t seconds, const QString &address, SerialSettings settings,
                                int offsetHours)
{
    const ClockValues fields = serverClockFields(seconds, offsetHours);
    ++m_uploading;
    m_runner.run(
        this,
        [fields, settings](Reporter &reporter) { return uploadServerTime(fields, settings, reporter); },
        [this, request, fields, address](Outcome outcome) {
            --m_uploading;
            if (outcome != Outcome::Cancelled)
                Q_EMIT ended(request, outcomeText(outcome, fields, address));
        });
}

CNTPServerDlg::CNTPServerDlg(TimeServerRequests &requests, QWidget *parent)
    : QDialog(parent), m_requests(&requests)
{
    setUp();
}

CNTPServerDlg::CNTPServerDlg(QWidget *parent) : QDialog(parent)
{
    m_requests = new TimeServerRequests(this);
    setUp();
}

void CNTPServerDlg::setUp()
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("Adjust Time & Date via NTP server Dialog"));
    createControls();
    loadServers();
    m_zones->setCurrentIndex(configuredTimeZone() - MinTimeZoneOffset);
    connect(m_requests, &TimeServerRequests::ended, this, &CNTPServerDlg::requestEnded);
    connect(m_requests, &TimeServerRequests::notSent, this, &CNTPServerDlg::requestNotSent);
    LocalizeDialog(this, DialogNumber);
}

void CNTPServerDlg::createControls()
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

    m_status = numberedLabel(StatusLine, textOr(Text::Status, QStringLiteral("Status:")), this);
    m_status->setWordWrap(true);
    layout->addWidget(m_status, 4, 0);

    auto *upload = new QPushButton(QStringLiteral("Upload Time && Date from NTP server"), this);
    setControlNumber(upload, UploadButton);
    upload->setAutoDefault(false);
    connect(upload, &QPushButton::clicked, this, &CNTPServerDlg::OnRequest);
    layout->addWidget(upload, 5, 0);

    auto *close = new QPushButton(textOr(Text::CloseButton, QStringLiteral("Close")), this);
    setControlNumber(close, CloseButton);
    close->setDefault(true);
    const QIcon closeIcon(resourceFilePath(QStringLiteral("close.png")));
    if (!closeIcon.isNull())
        close->setIcon(closeIcon);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close, 6, 0, Qt::AlignCenter);
}

// Names shown, addresses kept; the first name beginning with server 1's name is selected.
void CNTPServerDlg::loadServers()
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
void CNTPServerDlg::OnRequest()
{
    showStatus(LookupText(Text::PleaseWait));
    const int index = m_servers->currentIndex();
    const QString address = index >= 0 ? m_addresses[size_t(index)] : QString();
    const int offset = m_zones->currentIndex() + MinTimeZoneOffset;
    storeTimeZone(offset);
    m_lastRequest = m_requests->request(address, readSerialSettings(), offset);
}

void CNTPServerDlg::showStatus(const QString &message)
{
    m_status->setText(textOr(Text::Status, QStringLiteral("Status:")) + u' ' + message);
}

void CNTPServerDlg::requestEnded(int request, const QString &status)
{
    if (request == m_lastRequest)
        showStatus(status);
}

void CNTPServerDlg::requestNotSent(int request, int textNumber)
{
    if (request != m_lastRequest)
        return;
    const QString text = LookupText(textNumber);
    showStatus(text);
    QMessageBox box(QMessageBox::NoIcon, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

} // namespace kestrix
