#include "widgets/area.h"

#include "info/ui/clock_info_dialog.h"
#include "info/ui/info_buttons.h"
#include "widgets/board_panel.h"

#include <QEventLoop>

namespace kestrix {

namespace {

// The clock information dialog after a download from the session's board.
std::unique_ptr<QDialog> downloadedInfoDialog()
{
    auto dialog = std::make_unique<ClockInfoDialog>();
    BoardQueue &queue = dialog->panel()->queue();
    QEventLoop downloading;
    QObject::connect(&queue, &BoardQueue::busyChanged, &downloading, [&downloading](bool busy) {
        if (!busy)
            downloading.quit();
    });
    dialog->OnDownload();
    if (queue.busy())
        downloading.exec();
    return dialog;
}

const AreaDialog Dialogs[] = {
    {"info", downloadedInfoDialog},
};

} // namespace

namespace area {
extern const Area info;
const Area info{"info", wireInfoButtons, Dialogs};
} // namespace area

} // namespace kestrix
