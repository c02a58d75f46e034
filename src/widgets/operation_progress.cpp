#include "widgets/operation_progress.h"

#include "base/language.h"
#include "base/texts.h"
#include "comm/operation_runner.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

namespace kestrix {
namespace {

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void showMessageBoxesOver(QWidget *window, OperationRunner &runner)
{
    runner.setMessageBoxHandler([window](const QString &text, MessageIcon icon) {
        QMessageBox box(boxIcon(icon), window->windowTitle(), text, QMessageBox::Ok, window);
        box.exec();
    });
}

OperationProgress::OperationProgress(OperationRunner &runner, QWidget *parent)
    : QWidget(parent),
      m_progress(new QProgressBar(this)),
      m_cancel(new QPushButton(textOr(Text::CancelButton, QStringLiteral("Cancel")), this))
{
    // "12 / 80": steps done of the operation's steps.
    m_progress->setTextVisible(true);
    m_progress->setFormat(QStringLiteral("%v / %m"));
    m_progress->setAlignment(Qt::AlignCenter);
    m_cancel->setAutoDefault(false);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_progress, 1);
    layout->addWidget(m_cancel);

    // The place stays reserved, so the dialog does not jump when an operation starts.
    QSizePolicy keepPlace = sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    setSizePolicy(keepPlace);
    setBusy(runner.busy());

    connect(m_cancel, &QPushButton::clicked, &runner, &OperationRunner::cancel);
    connect(&runner, &OperationRunner::progressChanged, this, &OperationProgress::showProgress);
    connect(&runner, &OperationRunner::busyChanged, this, &OperationProgress::setBusy);
}

void OperationProgress::showProgress(int done, int total)
{
    m_progress->setRange(0, total > 0 ? total : 0);
    m_progress->setValue(done);
}

void OperationProgress::setBusy(bool busy)
{
    if (busy)
        m_progress->reset();
    setVisible(busy);
}

} // namespace kestrix
