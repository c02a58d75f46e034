#include "comm/reporter.h"

#include "base/language.h"
#include "base/texts.h"

#include <QStringList>

namespace kestrix {

void RecordingReporter::setLine(int index, const QString &text)
{
    if (index >= 0 && index < 3)
        lines[index] = text;
    history.push_back(QString::number(index) + QStringLiteral(": ") + text);
}

void RecordingReporter::messageBox(const QString &text, MessageIcon icon)
{
    boxes.push_back({text, icon});
}

void RecordingReporter::progress(int done, int total)
{
    progressDone = done;
    progressTotal = total;
}

StatusForm StatusForm::mainWindow()
{
    return {false, {Text::CommunicationError, Text::CheckPortAndSpeed}};
}

StatusForm StatusForm::dialog(std::vector<TextId> failureTexts)
{
    return {true, std::move(failureTexts)};
}

StatusLines::StatusLines(Reporter &reporter, StatusForm form) : m_reporter(reporter), m_form(std::move(form)) {}

void StatusLines::show(int line, TextId text)
{
    showText(line, LookupText(text));
}

void StatusLines::showText(int line, const QString &text)
{
    if (!m_form.singleLine)
        m_reporter.setLine(line, text);
    else if (line == 0)
        m_reporter.setLine(0, LookupText(Text::Status) + ' ' + text);
}

void StatusLines::clear(int line)
{
    if (!m_form.singleLine)
        m_reporter.setLine(line, QString());
}

void StatusLines::showCancelled()
{
    show(0, Text::OperationCancelled);
    clear(1);
    clear(2);
}

void StatusLines::showCheckFailure()
{
    const int count = int(m_form.failureTexts.size());
    if (!m_form.singleLine) {
        for (int line = 0; line < count; ++line)
            show(line, m_form.failureTexts[size_t(line)]);
        if (!m_failureDetail.isEmpty() && count < 3)
            showText(count, m_failureDetail);
        return;
    }
    QStringList texts;
    for (TextId text : m_form.failureTexts)
        texts.append(LookupText(text));
    if (!m_failureDetail.isEmpty())
        texts.append(m_failureDetail);
    showText(0, texts.join(' '));
}

} // namespace kestrix
