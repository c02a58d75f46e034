#include "app/about_dialog.h"

#include "base/config_file.h"
#include "base/language.h"
#include "base/texts.h"
#include "widgets/fixed_dialog.h"
#include "widgets/localize.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrix {
namespace {

constexpr int DialogNumber = 100;

// Control numbers of the dialog.
enum Control {
    OkButton = 1,
    VersionText = 1210,
    LogoPicture = 1214,
    CompiledLine = 1216,
};

} // namespace

QString compiledText()
{
    return QStringLiteral("Compiled: ") + QLatin1String(__DATE__) + QStringLiteral(", ") + QLatin1String(__TIME__);
}

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setDialogNumber(this, DialogNumber);
    setWindowTitle(QStringLiteral("About Kestrix"));

    auto *compiled = numberedLabel(CompiledLine, QString(), this);
    auto *ok = new QPushButton(textOr(Text::OkButton, QStringLiteral("OK")), this);
    ok->setDefault(true);
    setControlNumber(ok, OkButton);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *texts = new QVBoxLayout;
    texts->addWidget(numberedLabel(VersionText, QStringLiteral("Kestrix v2.2"), this));
    texts->addWidget(compiled);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(logoPicture(LogoPicture, this), 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
    layout->addWidget(ok, 0, Qt::AlignTop);

    LocalizeDialog(this, DialogNumber);
    // Set after localising: the build stamp is never replaced by a language table.
    compiled->setText(compiledText());
    fixDialogSize(this);
}

} // namespace kestrix
