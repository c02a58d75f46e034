#pragma once
// The board's operating information as vars.txt describes it: one variable per line, "name;
// register;type;kind", with four value types (Char, Int, SInt, Time) in parameter registers
// (kind Par, read with "R") or working memory (kind Ram, read with "r").

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace kestrix {

enum class InfoType { Char, Int, SInt, Time, Unknown };
enum class InfoKind { Par, Ram, Unknown };

struct InfoVariable {
    QString name;
    int reg = 0;
    QString typeText;
    QString kindText;

    InfoType type() const;
    InfoKind kind() const;
    // Registers the variable occupies: 1, 2 or 6; 0 for an unknown type or kind, or when its
    // registers go beyond 999 (nothing is read or written for it).
    int registerCount() const;
};

// The last register a frame can name: registers travel as three digits.
inline constexpr int MaxInfoRegister = 999;

inline constexpr int MaxInfoVariables = 50;

struct InfoVariableFile {
    std::vector<InfoVariable> variables;
    int droppedLines = 0;   // variable lines beyond the 50 used
};

QString infoVariableFilePath();

// Every line that holds a variable is one (empty lines are skipped); lines end in LF, CR LF or
// CR. Read as the INI files are: each line UTF-8 or Windows-1252, a file with a UTF-16 byte order
// mark as UTF-16, a byte order mark never part of a name. The kind is everything after the
// third ";". Fields are trimmed of spaces and tabs; the register is its leading decimal digits
// (none gives 0). Type and kind match exactly.
InfoVariableFile parseInfoVariables(const QByteArray &bytes);
// Nothing, with the reason in *error, when the file cannot be read.
std::optional<InfoVariableFile> loadInfoVariables(const QString &path = infoVariableFilePath(),
                                                  QString *error = nullptr);

// A variable's value from the bytes of its registers, as a download shows it: Char of kind Par
// signed, of kind Ram in decimal with two digits at least; Int and SInt big-endian; Time as
// "b0:b1:b2 b3.b4.b5." in hexadecimal pairs.
QString decodeInfoValue(const InfoVariable &variable, const std::vector<unsigned char> &bytes);
// A variable's value from the answers to the clearing writes (decimal texts), as clearing shows
// it: Char the answer, Int and SInt the sum, Time the answers joined as "a0:a1:a2 a3.a4.a5.".
QString clearedInfoValue(const InfoVariable &variable, const std::vector<QString> &answers);

// The password of config.ini [Settings] admin; empty when absent.
QString storedClearingPassword();
// Clearing goes on only for the stored password, exactly (case and all), and never when either
// is empty.
bool passwordAllowsClearing(const QString &stored, const QString &entered);

} // namespace kestrix
