#include "time/ui/time_buttons.h"

#include "time/time_upload.h"
#include "time/ui/manual_dlg.h"
#include "time/ui/ntp_server_dlg.h"
#include "widgets/main_window_host.h"

namespace kestrix {
namespace {

void uploadPcTimeOf(MainWindowHost &host)
{
    host.runner().start([settings = host.settings()](Reporter &reporter) { uploadPcTime(settings, reporter); },
                        host.hostWidget());
}

void openManualDialog(MainWindowHost &host)
{
    CManualDlg dialog(host.hostWidget());
    dialog.exec();
}

// The requests outlive the dialog, so a late reply is still uploaded; they end with the window.
void openNtpDialog(MainWindowHost &host, TimeServerRequests &requests)
{
    CNTPServerDlg dialog(requests, host.hostWidget());
    dialog.exec();
}

} // namespace

void wireTimeButtons(MainWindowHost &host)
{
    host.wire(MainButton::AdjustPcTime, [&host] { uploadPcTimeOf(host); });
    host.wire(MainButton::ManualTime, [&host] { openManualDialog(host); });
    auto *requests = new TimeServerRequests(host.hostWidget());
    host.wire(MainButton::NtpTime, [&host, requests] { openNtpDialog(host, *requests); });
}

} // namespace kestrix
