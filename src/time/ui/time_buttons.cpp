#include "time/ui/time_buttons.h"

#include "time/time_upload.h"
#include "time/ui/manual_time_dialog.h"
#include "time/ui/time_server_dialog.h"
#include "widgets/board_panel.h"
#include "widgets/main_window_host.h"

namespace kestrix {
namespace {

// A job of the window on the session's queue; the window's status shows its lines.
void uploadPcTimeOf(MainWindowHost &host)
{
    host.panel().submit(pcTimeUploadJob(), [](const JobResult<NoData> &) {});
}

void openManualDialog(MainWindowHost &host)
{
    ManualTimeDialog dialog(host.hostWidget());
    dialog.exec();
}

// The requests outlive the dialog, so a late reply is still uploaded through the session's
// queue, shown in the window's status; they end with the window.
void openNtpDialog(MainWindowHost &host, TimeServerRequests &requests)
{
    TimeServerDialog dialog(requests, host.hostWidget());
    dialog.exec();
}

} // namespace

void wireTimeButtons(MainWindowHost &host)
{
    host.wire(MainButton::AdjustPcTime, [&host] { uploadPcTimeOf(host); });
    host.wire(MainButton::ManualTime, [&host] { openManualDialog(host); });
    auto *requests = new TimeServerRequests(host.hostWidget(), &host.panel());
    host.wire(MainButton::NtpTime, [&host, requests] { openNtpDialog(host, *requests); });
}

} // namespace kestrix
