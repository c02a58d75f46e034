// The parameter map: table contents, value encodings, list digits and the stored digits with
// the brightness boxes.
#include "params/parameter_map.h"
#include "params/parameter_digits.h"
#include "params/parameter_file.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

using namespace kestrix;

namespace {

QString encode(Encoding encoding, const char *text)
{
    return encodeField(encoding, QString::fromLatin1(text));
}

QString decode(Encoding encoding, const char *text)
{
    return decodeField(encoding, QString::fromLatin1(text));
}

std::vector<int> writeRegisters(Group group)
{
    std::vector<int> registers;
    for (const Parameter &row : groupParameters(group))
        registers.push_back(row.writeRegister);
    return registers;
}

// The value a group's register gets from its rows, the way an upload forms it.
QString registerValue(const ParameterDigits &digits, Group group, const QString &fieldText = {})
{
    QString value;
    for (const Parameter &row : groupParameters(group))
        value += encodeField(row.encoding, digits.valueText(row, fieldText));
    return value;
}

} // namespace

TEST(ParameterEncoding, TwoDigitPadsAndStrips)
{
    EXPECT_EQ(encode(Encoding::TwoDigit, "5"), "05");
    EXPECT_EQ(encode(Encoding::TwoDigit, "12"), "12");
    EXPECT_EQ(encode(Encoding::TwoDigit, "0"), "00");
    EXPECT_EQ(encode(Encoding::TwoDigit, ""), "");
    EXPECT_EQ(decode(Encoding::TwoDigit, "05"), "5");
    EXPECT_EQ(decode(Encoding::TwoDigit, "00"), "0");
    EXPECT_EQ(decode(Encoding::TwoDigit, "15"), "15");
    EXPECT_EQ(decode(Encoding::TwoDigit, "0a"), "a");
}

TEST(ParameterEncoding, SignedCarriesTheSignInTheFirstDigit)
{
    EXPECT_EQ(encode(Encoding::Signed, "-5"), "15");
    EXPECT_EQ(encode(Encoding::Signed, "-3"), "13");
    EXPECT_EQ(encode(Encoding::Signed, "5"), "05");
    EXPECT_EQ(encode(Encoding::Signed, "0"), "00");
    EXPECT_EQ(encode(Encoding::Signed, ""), "");
    EXPECT_EQ(decode(Encoding::Signed, "15"), "-5");
    EXPECT_EQ(decode(Encoding::Signed, "13"), "-3");
    EXPECT_EQ(decode(Encoding::Signed, "07"), "7");
    EXPECT_EQ(decode(Encoding::Signed, "25"), "5");
    EXPECT_EQ(decode(Encoding::Signed, "00"), "0");
}

TEST(ParameterEncoding, RawPairKeepsTheReadText)
{
    EXPECT_EQ(encode(Encoding::RawPair, "5"), "05");
    EXPECT_EQ(encode(Encoding::RawPair, "1a"), "1a");
    EXPECT_EQ(decode(Encoding::RawPair, "0a"), "0a");
    EXPECT_EQ(decode(Encoding::RawPair, "00"), "00");
}

TEST(ParameterEncoding, LastDigitAndDigitPairs)
{
    EXPECT_EQ(encode(Encoding::LastDigit, "1"), "01");
    EXPECT_EQ(encode(Encoding::LastDigit, "2"), "02");
    EXPECT_EQ(decode(Encoding::LastDigit, "01"), "1");
    EXPECT_EQ(decode(Encoding::LastDigit, "13"), "3");
    EXPECT_EQ(encode(Encoding::DigitPairFirst, "a"), "a");
    EXPECT_EQ(decode(Encoding::DigitPairFirst, "a2"), "a");
    EXPECT_EQ(decode(Encoding::DigitPairSecond, "a2"), "2");
}

TEST(ParameterFileRules, StripPairAndAuxiliary)
{
    EXPECT_EQ(stripRule("05"), "5");
    EXPECT_EQ(stripRule("00"), "0");
    EXPECT_EQ(stripRule("12"), "12");
    EXPECT_EQ(stripRule(""), "");

    EXPECT_EQ(pairRule("21").first, "2");
    EXPECT_EQ(pairRule("21").second, "1");
    EXPECT_EQ(pairRule("7").first, "7");
    EXPECT_EQ(pairRule("7").second, "7");

    const CorrectionValue negative = splitAuxiliary("-30");
    EXPECT_EQ(negative.field, "-3");
    EXPECT_EQ(negative.auxiliary, "0");
    const CorrectionValue positive = splitAuxiliary("40");
    EXPECT_EQ(positive.field, "4");
    EXPECT_EQ(positive.auxiliary, "0");
}

TEST(ParameterListDigits, IndexBecomesOneHexDigit)
{
    EXPECT_EQ(digitForIndex(0), "0");
    EXPECT_EQ(digitForIndex(6), "6");
    EXPECT_EQ(digitForIndex(9), "9");
    EXPECT_EQ(digitForIndex(10), "a");
    EXPECT_EQ(digitForIndex(-1), "");
}

TEST(ParameterListDigits, DisplayModeReadsHexOtherListsDecimal)
{
    EXPECT_EQ(listIndexForDigit(1015, "a"), 10);
    EXPECT_EQ(listIndexForDigit(1015, "A"), 10);
    EXPECT_EQ(listIndexForDigit(1015, "9"), 9);
    EXPECT_EQ(listIndexForDigit(1015, "b"), -1);  // beyond "A  Points"
    EXPECT_EQ(listIndexForDigit(1017, "6"), 6);
    EXPECT_EQ(listIndexForDigit(1017, "d"), 0);   // a letter counts as 0
    EXPECT_EQ(listIndexForDigit(1017, "7"), -1);
    EXPECT_EQ(listIndexForDigit(1007, "2"), 2);
    EXPECT_EQ(listIndexForDigit(1007, "a"), 0);
    EXPECT_EQ(listIndexForDigit(1237, "3"), -1);
    EXPECT_EQ(listIndexForDigit(9999, "0"), -1);
}

TEST(ParameterTable, RowsStandInIdOrderAndControlsAreUnique)
{
    std::set<int> controls;
    int index = 0;
    for (const Parameter &row : parameterTable()) {
        EXPECT_EQ(int(row.id), index++);
        EXPECT_TRUE(controls.insert(row.control).second) << row.control;
        EXPECT_EQ(parameterForControl(row.control), &row);
        EXPECT_EQ(row.kind == ControlKind::List, parameterList(row.control) != nullptr) << row.control;
    }
    EXPECT_EQ(index, int(ParamId::Count));
    EXPECT_EQ(parameterForControl(DayTimeBox), nullptr);
}

TEST(ParameterTable, GroupsAreContiguousWithTheirAdjustButtons)
{
    const std::vector<std::pair<Group, int>> expected = {
        {Group::ViewTimes, 1012}, {Group::A0, 1013}, {Group::P9, 1014}, {Group::A1, 1016},
        {Group::A2, 1061}, {Group::A3, 1062}, {Group::A4, 1066}, {Group::ByteMap, 1083},
        {Group::SimpleTiming, 1089}, {Group::SelfTimer, 1095}, {Group::TimeZone, 1090},
    };
    std::size_t rows = 0;
    for (const auto &[group, button] : expected) {
        EXPECT_EQ(groupInfo(group).adjustButton, button);
        rows += groupParameters(group).size();
    }
    EXPECT_EQ(groupTable().size(), expected.size());
    EXPECT_EQ(rows, parameterTable().size());
}

TEST(ParameterTable, GroupRowsStandInUploadOrder)
{
    EXPECT_EQ(writeRegisters(Group::ViewTimes), (std::vector<int>{8, 9, 10, 98, 11, 491, 873, 874}));
    EXPECT_EQ(writeRegisters(Group::SimpleTiming), (std::vector<int>{107, 91, 92, 93, 94}));
    EXPECT_EQ(writeRegisters(Group::SelfTimer),
              (std::vector<int>{849, 850, 851, 852, 853, 854, 855, 856, 857}));
    EXPECT_EQ(writeRegisters(Group::TimeZone), (std::vector<int>{95, 96}));
    EXPECT_EQ(writeRegisters(Group::A4), (std::vector<int>{100, 100}));
    for (const Parameter &row : groupParameters(Group::A4))
        EXPECT_EQ(row.readRegister, NoRegister);
}

TEST(ParameterTable, ByteMapIsSixteenRegistersInOrder)
{
    const auto fields = byteMap();
    ASSERT_EQ(fields.size(), 16u);
    const char *keys[] = {"A5", "A6", "A7", "A8", "A9", "B0", "B1", "B2",
                          "B3", "B4", "B5", "B6", "B7", "B8", "B9", "C0"};
    for (int i = 0; i < 16; ++i) {
        const Parameter &field = fields[i];
        EXPECT_EQ(field.control, 1067 + i);
        EXPECT_EQ(field.writeRegister, 21 + i);
        EXPECT_EQ(field.readRegister, 21 + i);
        EXPECT_STREQ(field.fileKey, keys[i]);
        const QString caption = QString::number(i / 2 + 1) + (i % 2 ? ":" : "");
        EXPECT_EQ(QString::fromLatin1(field.caption), caption);
        EXPECT_STREQ(field.startText, "00");
        EXPECT_EQ(field.encoding, Encoding::RawPair);
    }
}

TEST(ParameterDigitsTest, StartAsZeroSoPairUploadsSendZeros)
{
    ParameterDigits digits;
    for (int i = 0; i < StoredDigitCount; ++i)
        EXPECT_EQ(digits.digit(StoredDigit(i)), "0") << i;
    EXPECT_EQ(registerValue(digits, Group::A4), "00");
    EXPECT_EQ(registerValue(digits, Group::A1), "00");
    EXPECT_EQ(registerValue(digits, Group::P9), "00");
}

TEST(ParameterDigitsTest, ListPicksStoreHexDigits)
{
    ParameterDigits digits;
    digits.pickEntry(StoredDigit::Se1, 10);
    EXPECT_EQ(digits.digit(StoredDigit::Se1), "a");
    EXPECT_EQ(digits.entryIndex(StoredDigit::Se1), 10);
    digits.pickEntry(StoredDigit::Se1, 9);
    EXPECT_EQ(digits.digit(StoredDigit::Se1), "9");
    digits.pickEntry(StoredDigit::Se2, 6);
    EXPECT_EQ(digits.digit(StoredDigit::Se2), "6");
    EXPECT_EQ(digits.entryIndex(StoredDigit::Se2), 6);
    digits.pickEntry(StoredDigit::Se2, -1);  // no selection keeps the digit
    EXPECT_EQ(digits.digit(StoredDigit::Se2), "6");

    digits.pickEntry(StoredDigit::Se1, 10);
    digits.pickEntry(StoredDigit::Se2, 2);
    EXPECT_EQ(registerValue(digits, Group::A1), "a2");
}

TEST(ParameterDigitsTest, DigitsFromAReadSelectTheirEntries)
{
    ParameterDigits digits;
    const QString readText = "12";
    for (const Parameter &row : groupParameters(Group::P9))
        digits.setDigit(row.digit, decodeField(row.encoding, readText));
    EXPECT_EQ(digits.entryIndex(StoredDigit::Ar1), 1);  // "1 Europe"
    EXPECT_EQ(digits.entryIndex(StoredDigit::Ar2), 2);  // "2 0-23h mode, Temp in Fahrenheit"

    digits.setDigit(StoredDigit::Ar1, "7");
    EXPECT_EQ(digits.entryIndex(StoredDigit::Ar1), -1);
    EXPECT_EQ(digits.entryIndex(StoredDigit::Direction), -1);  // a box, not a list
}

TEST(ParameterDigitsTest, CheckBoxDigitsAndDirection)
{
    ParameterDigits digits;
    digits.tick(StoredDigit::Direction, true);
    EXPECT_EQ(registerValue(digits, Group::SimpleTiming).left(2), "01");
    digits.tick(StoredDigit::Direction, false);
    EXPECT_FALSE(digits.ticked(StoredDigit::Direction));
    EXPECT_EQ(encodeField(Encoding::LastDigit, digits.digit(StoredDigit::Direction)), "00");

    digits.setDigit(StoredDigit::Direction, decodeField(Encoding::LastDigit, "01"));
    EXPECT_TRUE(digits.ticked(StoredDigit::Direction));
    digits.tick(StoredDigit::Br1, true);
    EXPECT_EQ(digits.digit(StoredDigit::Br1), "1");
}

TEST(BrightnessStateTest, BoxesExcludeEachOtherAndSetTheDigit)
{
    BrightnessState brightness;
    EXPECT_TRUE(brightness.fieldEnabled());
    EXPECT_EQ(brightness.digit("7"), "7");

    brightness.tickDayTime(true);
    EXPECT_TRUE(brightness.dayTimeTicked());
    EXPECT_FALSE(brightness.fieldEnabled());
    EXPECT_EQ(brightness.digit("7"), "A");

    brightness.tickLightSensor(true);
    EXPECT_FALSE(brightness.dayTimeTicked());
    EXPECT_TRUE(brightness.lightSensorTicked());
    EXPECT_TRUE(brightness.dependent());
    EXPECT_FALSE(brightness.fieldEnabled());
    EXPECT_EQ(brightness.digit("7"), "B");

    brightness.tickLightSensor(false);
    EXPECT_FALSE(brightness.lightSensorTicked());
    EXPECT_FALSE(brightness.dependent());
    EXPECT_TRUE(brightness.fieldEnabled());
    EXPECT_EQ(brightness.digit("4"), "4");
    EXPECT_EQ(brightness.takeDigit("4"), "4");
    EXPECT_EQ(brightness.storedDigit(), "4");
}

TEST(BrightnessStateTest, SuppliedDigitsDriveTheControls)
{
    BrightnessState brightness;
    EXPECT_EQ(brightness.applyDigit(u'b'), std::nullopt);
    EXPECT_TRUE(brightness.lightSensorTicked());
    EXPECT_FALSE(brightness.fieldEnabled());

    EXPECT_EQ(brightness.applyDigit(u'a'), std::nullopt);
    EXPECT_TRUE(brightness.dayTimeTicked());
    EXPECT_FALSE(brightness.lightSensorTicked());
    EXPECT_EQ(brightness.digit(""), "A");

    EXPECT_EQ(brightness.applyDigit(u'7'), QString("7"));
    EXPECT_FALSE(brightness.dayTimeTicked());
    EXPECT_FALSE(brightness.lightSensorTicked());
    EXPECT_TRUE(brightness.fieldEnabled());
    EXPECT_EQ(brightness.storedDigit(), "7");
}

TEST(BrightnessStateTest, A0ValueFollowsFadeAndBoxes)
{
    ParameterDigits digits;
    digits.brightness().tickDayTime(true);
    EXPECT_EQ(registerValue(digits, Group::A0, "5"), "0A");

    digits.brightness().tickDayTime(false);
    EXPECT_EQ(registerValue(digits, Group::A0, "7"), "07");

    digits.tick(StoredDigit::Br1, true);
    digits.brightness().tickLightSensor(true);
    EXPECT_EQ(registerValue(digits, Group::A0, "7"), "1B");

    // A read of 0x0A unticks Fade and ticks "day time depending".
    for (const Parameter &row : groupParameters(Group::A0))
        digits.setDigit(row.digit, decodeField(row.encoding, "0a"));
    EXPECT_FALSE(digits.ticked(StoredDigit::Br1));
    EXPECT_TRUE(digits.brightness().dayTimeTicked());

    digits.reset();
    EXPECT_FALSE(digits.brightness().dependent());
    EXPECT_EQ(digits.digit(StoredDigit::Br2), "0");
}

TEST(StartParameters, KeysFollowTheStripPairAndUnchangedRules)
{
    const IniSnapshot file(QStringList{"[Parameters]", "P6=05", "P7=12", "P8=0", "A2=07", "P9=21", "A0=0A",
                                       "A1=a", "A5=1a", "B0=", "TP=05", "PC=-30", "AC=20", "[Other]", "A3=9"});
    const ParameterUpdate parameters = parametersOf(file, ParameterKeys::StartUp);
    std::map<ParamId, QString> fields;
    for (const FieldValue &value : parameters.fields)
        fields[value.field] = value.text;
    EXPECT_EQ(fields, (std::map<ParamId, QString>{{ParamId::Th, "5"},
                                                  {ParamId::Td, "12"},
                                                  {ParamId::Tt, "0"},
                                                  {ParamId::InactivityPeriod, "7"},
                                                  {ParamId::ByteMapFirst, "1a"}}))
        << "TP, PC and AC are not preset; an empty key and another section's key count as absent";
    std::map<StoredDigit, QString> digits;
    for (const DigitValue &digit : parameters.digits)
        digits[digit.digit] = digit.value;
    EXPECT_EQ(digits, (std::map<StoredDigit, QString>{{StoredDigit::Ar1, "2"},
                                                      {StoredDigit::Ar2, "1"},
                                                      {StoredDigit::Br1, "0"},
                                                      {StoredDigit::Br2, "A"},
                                                      {StoredDigit::Se1, "a"},
                                                      {StoredDigit::Se2, "a"}}))
        << "a one-character pair gives both digits that character";
}

// What each control holds, judged from its row: a field's text, or a stored digit when `digit`
// is not None.
TEST(ControlRules, EachControlHoldsWhatItsRowDescribes)
{
    struct Case {
        ParamId field;
        StoredDigit digit;
        const char *text;   // UTF-8
        Misfit expected;
    };
    using P = ParamId;
    using D = StoredDigit;
    using enum Misfit;
    const Case cases[] = {
        {P::Th, D::None, "05", None},
        {P::Th, D::None, "", None},                          // an edit may be empty
        {P::Th, D::None, "\u0665", NotANumber},              // an Arabic-Indic five: ASCII digits only
        {P::Th, D::None, "5\n", NotANumber},
        {P::Th, D::None, "-1", NotANumber},                  // no sign where the range starts at 0
        {P::Th, D::None, "123", TooLong},
        {P::Pc, D::None, "-5", None},                        // as the up-down writes it
        {P::Pc, D::None, "-", NotANumber},
        {P::HumidityCorrection, D::None, "99", OutOfRange},
        {P::Payment, D::None, "05", None},                   // a register's two characters
        {P::Payment, D::None, "10", OutOfRange},
        {P::ByteMapFirst, D::None, "\u20ac", None},          // one Windows-1252 byte
        {P::ByteMapFirst, D::None, "\u0665", NotEightBit},
        {P::ByteMapFirst, D::None, "abc", TooLong},
        {P::TimeZoneHour, D::None, "\x1bR", ControlCharacter},
        {P::SelfTimerMode, D::None, "2", None},
        {P::SelfTimerMode, D::None, "3", NoEntry},
        {P::SelfTimerMode, D::None, "02", NoEntry},
        {P::Fade, D::None, "2", NotABox},
        {P::Th, D::Se1, "a", None},                          // display mode digits are hexadecimal
        {P::Th, D::Se1, "b", NoEntry},
        {P::Th, D::Ar1, "\u0663", NoEntry},
        {P::Th, D::Ar1, "", NoEntry},
        {P::Th, D::Br2, "B", None},
        {P::Th, D::Br2, "c", NotANumber},
        {P::Th, D::PcAuxiliary, "\u0663", NotANumber},
        {P::Th, D::Direction, "2", NotABox},
    };
    for (const Case &c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const Misfit misfit = c.digit == D::None ? fieldMisfit(parameter(c.field), text) : digitMisfit(c.digit, text);
        EXPECT_EQ(misfit, c.expected) << parameter(c.field).caption << " " << int(c.digit) << " \"" << c.text << '"';
    }
}
