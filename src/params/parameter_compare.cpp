#include "params/parameter_compare.h"

#include "params/parameter_file.h"

#include <algorithm>

namespace kestrix {

namespace {

bool wasRead(const Parameter &row, const ParameterUpdate &read)
{
    if (row.digit != StoredDigit::None)
        return std::ranges::any_of(read.digits, [&row](const DigitValue &d) { return d.digit == row.digit; });
    return std::ranges::any_of(read.fields, [&row](const FieldValue &f) { return f.field == row.id; });
}

enum class KeyRead { Never, Answered, Unanswered };

// Whether every register behind a file key answered; Never when the download reads none.
KeyRead keyRead(const QString &key, const ParameterUpdate &read)
{
    KeyRead state = KeyRead::Never;
    for (const Parameter &row : parameterTable()) {
        if (row.readRegister == NoRegister || key != QLatin1String(row.fileKey))
            continue;
        if (!wasRead(row, read))
            return KeyRead::Unanswered;
        state = KeyRead::Answered;
    }
    return state;
}

} // namespace

ItemComparison compareParameters(const ParameterValues &expected, const ParameterUpdate &read)
{
    ParameterValues board = expected;
    board.apply(read);
    const auto wanted = parameterFileEntries(expected);
    const auto held = parameterFileEntries(board);
    ItemComparison comparison;
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        const QString &key = wanted[i].first;
        switch (keyRead(key, read)) {
        case KeyRead::Never:
            break;
        case KeyRead::Unanswered:
            comparison.unanswered.push_back({key, wanted[i].second});
            break;
        case KeyRead::Answered:
            // A register holds a byte: "1A" typed and "1a" read are one value.
            if (wanted[i].second.compare(held[i].second, Qt::CaseInsensitive) != 0)
                comparison.differing.push_back({key, wanted[i].second, held[i].second});
            break;
        }
    }
    return comparison;
}

} // namespace kestrix
