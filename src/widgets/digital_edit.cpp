#include "widgets/digital_edit.h"

#include <QFontDatabase>
#include <QPalette>

namespace kestrix {
namespace {

const QColor DisplayText(255, 0, 0);
const QColor DisplayBackground(0, 0, 0);

// Every palette group, so the colours hold when the window is inactive or the control disabled.
constexpr QPalette::ColorGroup DisplayGroups[] = {QPalette::Active, QPalette::Inactive, QPalette::Disabled};

struct ClockFace {
    const char *family;
    bool italic;
};

// Faces tried in order. "DS-Digital" is the family name under which fontconfig lists the
// "DS-Digital Italic" face; Debian's fonts-dseg provides "DSEG7 Classic".
constexpr ClockFace ClockFaces[] = {
    {"DS-Digital Italic", false},
    {"DS-Digital", true},
    {"DSEG7 Classic", true},
};

constexpr int ClockPointSize = 42;

QPalette displayPalette(QPalette palette)
{
    for (QPalette::ColorGroup group : DisplayGroups) {
        palette.setColor(group, QPalette::Text, DisplayText);
        palette.setColor(group, QPalette::Base, DisplayBackground);
        palette.setColor(group, QPalette::Window, DisplayBackground);
    }
    return palette;
}

} // namespace

DigitalEdit::DigitalEdit(QWidget *parent) : QLineEdit(parent)
{
    setReadOnly(true);
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::NoFocus);
    setPalette(displayPalette(palette()));
    setFont(clockFont());
}

QFont clockFont()
{
    const QStringList installed = QFontDatabase::families();
    for (const ClockFace &face : ClockFaces) {
        const QString family = QString::fromLatin1(face.family);
        if (installed.contains(family, Qt::CaseInsensitive)) {
            QFont font(family, ClockPointSize);
            font.setItalic(face.italic);
            return font;
        }
    }
    return QFont(QString::fromLatin1(ClockFaces[0].family), ClockPointSize);
}

} // namespace kestrix
