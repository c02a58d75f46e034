#pragma once
// What a comparison of the files with the board found, and what a read-back after an upload
// found, in the forms the dialogs and kestrix-cli show them.

#include <QString>
#include <optional>
#include <vector>

namespace kestrix {

// An item whose value on the board is not the one the files hold.
struct ItemDifference {
    QString item;         // e.g. "C1", "p1 slot 3", "January Rise"
    QString fileValue;
    QString boardValue;
};

// An item the board did not answer for: it is neither equal nor different.
struct UnansweredItem {
    QString item;        // with the registers that did not answer
    QString fileValue;
};

struct ItemComparison {
    std::vector<ItemDifference> differing;
    std::vector<UnansweredItem> unanswered;
    bool equal() const { return differing.empty() && unanswered.empty(); }
};

// One register read back after an upload: the value sent and the value read, both as a
// download shows the register's byte. `read` is nothing when the register did not answer.
struct RegisterCheck {
    int reg = 0;
    QString sent;
    std::optional<QString> read;
    bool differs() const { return read && *read != sent; }
};

// "R012": a register as the frames name it.
inline QString registerName(int reg)
{
    return QStringLiteral("R%1").arg(reg, 3, 10, QLatin1Char('0'));
}

// The window's ending of a comparison: nothing differs, how many differ, or how many differ
// and how many did not answer.
QString comparisonSummary(const ItemComparison &comparison);
// The window's ending of a read-back whose registers all answered: "Verified: ..." or how many
// registers differ.
QString readBackSummary(const std::vector<RegisterCheck> &checks);

// "Verify after upload": config.ini [Settings] Verify=1 reads back every upload of the window
// and its dialogs. Off when absent.
bool verifyAfterUpload();
bool storeVerifyAfterUpload(bool verify, QString *error = nullptr);

} // namespace kestrix
