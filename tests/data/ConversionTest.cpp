#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <string>

#include "data/DailyRecord.h"
#include "data/RunError.h"

namespace {

using zyn::RunError;

// The message a conversion raises, or "" when it does not fail.
template <typename F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const RunError& e) {
        return e.what();
    }
    return "";
}

std::string IntegerMessage(const std::string& text) { return "'" + text + "' ist kein gültiger Integerwert"; }
std::string DecimalMessage(const std::string& text) { return "'" + text + "' ist kein gültiger Gleitkommawert"; }
const std::string kDateMessage = "Ungültiges Argument zum Codieren des Datums";

TEST(ParseInteger, DecimalWithBlanksAndSign) {
    EXPECT_EQ(zyn::ParseInteger("2007"), 2007);
    EXPECT_EQ(zyn::ParseInteger("  42"), 42);
    EXPECT_EQ(zyn::ParseInteger("-7"), -7);
    EXPECT_EQ(zyn::ParseInteger("+7"), 7);
    EXPECT_EQ(zyn::ParseInteger(" -0"), 0);
    EXPECT_EQ(zyn::ParseInteger("0007"), 7);
}

TEST(ParseInteger, Hexadecimal) {
    EXPECT_EQ(zyn::ParseInteger("$7D7"), 2007);
    EXPECT_EQ(zyn::ParseInteger("0x7D7"), 2007);
    EXPECT_EQ(zyn::ParseInteger("0X7d7"), 2007);
    EXPECT_EQ(zyn::ParseInteger("-$10"), -16);
    EXPECT_EQ(zyn::ParseInteger(" $ff"), 255);
}

TEST(ParseInteger, Limits) {
    EXPECT_EQ(zyn::ParseInteger("2147483647"), 2147483647);
    EXPECT_EQ(zyn::ParseInteger("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(zyn::ParseInteger("$7FFFFFFF"), 2147483647);
    EXPECT_EQ(MessageOf([] { zyn::ParseInteger("2147483648"); }), IntegerMessage("2147483648"));
    EXPECT_EQ(MessageOf([] { zyn::ParseInteger("-2147483649"); }), IntegerMessage("-2147483649"));
    EXPECT_EQ(MessageOf([] { zyn::ParseInteger("$80000000"); }), IntegerMessage("$80000000"));
    EXPECT_EQ(MessageOf([] { zyn::ParseInteger("99999999999999999999999"); }), IntegerMessage("99999999999999999999999"));
}

TEST(ParseInteger, Rejects) {
    for (const char* text : {"", " ", "-", "+", "$", "0x", "2-", "1 ", "1.0", "12a", "a", "--1", "+-1", "$G", "0x1g", "1e3", "\t1"}) {
        EXPECT_EQ(MessageOf([&] { zyn::ParseInteger(text); }), IntegerMessage(text)) << text;
        std::int32_t v = 0;
        EXPECT_FALSE(zyn::TryParseInteger(text, v)) << text;
    }
}

TEST(ParseRecordDate, DayCounts) {
    EXPECT_EQ(zyn::ParseRecordDate("2007-02-15"), 39128.0);
    EXPECT_EQ(zyn::ParseRecordDate("1899-12-30"), 0.0);
    EXPECT_EQ(zyn::ParseRecordDate("1899-12-29"), -1.0);
    EXPECT_EQ(zyn::ParseRecordDate("1900-01-01"), 2.0);
    EXPECT_EQ(zyn::ParseRecordDate("2026-12-04"), 46360.0);
    EXPECT_EQ(zyn::ParseRecordDate("2000-03-01"), 36586.0);
    EXPECT_EQ(zyn::ParseRecordDate("0001-01-01"), -693593.0);
    EXPECT_EQ(zyn::ParseRecordDate("9999-12-31"), 2958465.0);
}

TEST(ParseRecordDate, SeparatorsAndTailAreNotRead) {
    EXPECT_EQ(zyn::ParseRecordDate("2007/02/15"), 39128.0);
    EXPECT_EQ(zyn::ParseRecordDate("2007x02y15"), 39128.0);
    EXPECT_EQ(zyn::ParseRecordDate("2007-02-15T12:00 anything"), 39128.0);
}

TEST(ParseRecordDate, PartsUseTheIntegerConversion) {
    EXPECT_EQ(zyn::ParseRecordDate("$7D7-02-15"), 39128.0);
    EXPECT_EQ(zyn::ParseRecordDate("0x7D-02-15"), zyn::ParseRecordDate("0125-02-15"));
    EXPECT_EQ(zyn::ParseRecordDate("2007-$2-$F"), 39128.0);
    EXPECT_EQ(zyn::ParseRecordDate("  +7-02-15"), zyn::ParseRecordDate("0007-02-15"));
}

TEST(ParseRecordDate, WhichPartFails) {
    // Characters 6-7 of 2007-2-15 are "2-".
    EXPECT_EQ(MessageOf([] { zyn::ParseRecordDate("2007-2-15"); }), IntegerMessage("2-"));
    EXPECT_EQ(MessageOf([] { zyn::ParseRecordDate("20O7-02-15"); }), IntegerMessage("20O7"));
    EXPECT_EQ(MessageOf([] { zyn::ParseRecordDate("2007-02-1x"); }), IntegerMessage("1x"));
    // Short texts give short or empty parts.
    EXPECT_EQ(MessageOf([] { zyn::ParseRecordDate("2007"); }), IntegerMessage(""));
    EXPECT_EQ(MessageOf([] { zyn::ParseRecordDate("2007-02-"); }), IntegerMessage(""));
    EXPECT_EQ(zyn::ParseRecordDate("2007-02-1"), zyn::ParseRecordDate("2007-02-01"));
    // Year fails before month before day.
    EXPECT_EQ(MessageOf([] { zyn::ParseRecordDate("abcd-ef-gh"); }), IntegerMessage("abcd"));
    EXPECT_EQ(MessageOf([] { zyn::ParseRecordDate("2007-ef-gh"); }), IntegerMessage("ef"));
    // Blanks and signs inside the fixed positions.
    EXPECT_EQ(zyn::ParseRecordDate("2007- 2- 5"), zyn::ParseRecordDate("2007-02-05"));
    EXPECT_EQ(MessageOf([] { zyn::ParseRecordDate("2007-2 -15"); }), IntegerMessage("2 "));
}

TEST(ParseRecordDate, InvalidCalendarDates) {
    for (const char* text : {"2007-02-30", "2007-02-29", "1900-02-29", "2007-13-01", "2007-00-10", "2007-04-31",
                             "2007-01-00", "0000-01-01", "-001-01-01", "2007--1-01"}) {
        EXPECT_EQ(MessageOf([&] { zyn::ParseRecordDate(text); }), kDateMessage) << text;
    }
    EXPECT_EQ(zyn::ParseRecordDate("2000-02-29"), 36585.0);
    EXPECT_EQ(zyn::ParseRecordDate("2004-02-29"), 38046.0);
}

TEST(ParseDecimal, FirstDotIsTheDecimalSeparator) {
    EXPECT_EQ(zyn::ParseDecimal("1.2345"), 1.2345);
    EXPECT_EQ(zyn::ParseDecimal("1234"), 1234.0);
    EXPECT_EQ(zyn::ParseDecimal("6950.5"), 6950.5);
    EXPECT_EQ(zyn::ParseDecimal("1,5"), 1.5);  // a comma in the file is the separator as it is
    EXPECT_EQ(zyn::ParseDecimal(".5"), 0.5);
    EXPECT_EQ(zyn::ParseDecimal("5."), 5.0);
    EXPECT_EQ(zyn::ParseDecimal("-0.25"), -0.25);
    EXPECT_EQ(zyn::ParseDecimal("+3.75"), 3.75);
    EXPECT_TRUE(std::signbit(zyn::ParseDecimal("-0")));
}

TEST(ParseDecimal, BlanksAndExponent) {
    EXPECT_EQ(zyn::ParseDecimal("  1.5  "), 1.5);
    EXPECT_EQ(zyn::ParseDecimal("1.5e3"), 1500.0);
    EXPECT_EQ(zyn::ParseDecimal("1.5E+3"), 1500.0);
    EXPECT_EQ(zyn::ParseDecimal("15e-1"), 1.5);
    EXPECT_EQ(zyn::ParseDecimal("5.e30"), 5e30);
    EXPECT_EQ(zyn::ParseDecimal("1e308"), 1e308);
    EXPECT_EQ(zyn::ParseDecimal("1e-400"), 0.0);  // underflows to zero
}

TEST(ParseDecimal, CorrectlyRoundedAcrossPaths) {
    // Short numbers take the exact fast path; long ones and big exponents the general one.
    EXPECT_EQ(zyn::ParseDecimal("0.1"), 0.1);
    EXPECT_EQ(zyn::ParseDecimal("18234.53"), 18234.53);
    EXPECT_EQ(zyn::ParseDecimal("9007199254740993"), 9007199254740992.0);
    EXPECT_EQ(zyn::ParseDecimal("0.1000000000000000055511151231257827"), 0.1);
    EXPECT_EQ(zyn::ParseDecimal("123456789012345678901234567890"), 123456789012345678901234567890.0);
    EXPECT_EQ(zyn::ParseDecimal("1.7976931348623157e308"), 1.7976931348623157e308);
    EXPECT_EQ(zyn::ParseDecimal("4.9e-324"), 4.9e-324);
    EXPECT_EQ(zyn::ParseDecimal("1.23e-30"), 1.23e-30);
    EXPECT_EQ(zyn::ParseDecimal(std::string(300, '0') + "1.5"), 1.5);
}

TEST(ParseDecimal, FailuresShowTheTextWithItsFirstDotReplaced) {
    EXPECT_EQ(MessageOf([] { zyn::ParseDecimal("1.234.5"); }), DecimalMessage("1,234.5"));
    EXPECT_EQ(MessageOf([] { zyn::ParseDecimal("1.5x"); }), DecimalMessage("1,5x"));
    EXPECT_EQ(MessageOf([] { zyn::ParseDecimal("1,5.3"); }), DecimalMessage("1,5,3"));
    EXPECT_EQ(MessageOf([] { zyn::ParseDecimal(""); }), DecimalMessage(""));
    for (const char* text : {" ", "-", "+", ".", ",", "e5", "1e", "1e+", "1 000", "1.000,5", "1..5", "--1", "inf", "nan",
                             "0x10", "1.5 x", "1e5.", "\t1"}) {
        std::string shown = text;
        const auto dot = shown.find('.');
        if (dot != std::string::npos) shown[dot] = ',';
        EXPECT_EQ(MessageOf([&] { zyn::ParseDecimal(text); }), DecimalMessage(shown)) << text;
        double v = 0;
        EXPECT_FALSE(zyn::TryParseDecimal(text, v)) << text;
    }
    EXPECT_EQ(MessageOf([] { zyn::ParseDecimal("1e400"); }), DecimalMessage("1e400"));
}

TEST(ParseDecimal, NonUtf8TextIsShownAsWindows1252) {
    EXPECT_EQ(MessageOf([] { zyn::ParseDecimal("1.5\xE4"); }), DecimalMessage("1,5\xC3\xA4"));
    EXPECT_EQ(MessageOf([] { zyn::ParseDecimal("\x80"); }), DecimalMessage("\xE2\x82\xAC"));
    EXPECT_EQ(MessageOf([] { zyn::ParseDecimal("\xC3\xA4"); }), DecimalMessage("\xC3\xA4"));  // valid UTF-8 stays
    // A NUL byte must not cut the message short.
    EXPECT_EQ(MessageOf([] { zyn::ParseDecimal(std::string_view("1.5\0x", 5)); }), DecimalMessage("1,5\xEF\xBF\xBDx"));
    EXPECT_EQ(MessageOf([] { zyn::ParseInteger(std::string_view("\0\xE4", 2)); }), IntegerMessage("\xEF\xBF\xBD\xC3\xA4"));
}

// The separator is the comma whatever the process locale says.
class LocaleTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = std::setlocale(LC_ALL, nullptr); }
    void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }
    static void ExpectCommaConversion() {
        EXPECT_EQ(zyn::ParseDecimal("1.2345"), 1.2345);
        EXPECT_EQ(zyn::ParseDecimal("1,2345"), 1.2345);
        EXPECT_EQ(zyn::ParseDecimal("0.1000000000000000055511151231257827"), 0.1);  // general path too
        EXPECT_EQ(MessageOf([] { zyn::ParseDecimal("1.234.5"); }), DecimalMessage("1,234.5"));
    }
    std::string saved_;
};

TEST_F(LocaleTest, CLocale) {
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    ExpectCommaConversion();
}

TEST_F(LocaleTest, CommaLocale) {
    const char* found = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "de_CH.UTF-8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            found = name;
            break;
        }
    }
    if (found == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
    ExpectCommaConversion();
}

TEST(ParseTrend, Words) {
    EXPECT_EQ(zyn::ParseTrend("UP"), 1);
    EXPECT_EQ(zyn::ParseTrend("up"), 1);
    EXPECT_EQ(zyn::ParseTrend("Up"), 1);
    EXPECT_EQ(zyn::ParseTrend("DOWN"), -1);
    EXPECT_EQ(zyn::ParseTrend("down"), -1);
    EXPECT_EQ(zyn::ParseTrend("dOwN"), -1);
    for (const char* text : {"FLAT", "Flat", "", " UP", "UP ", "UPP", "U", "DOWNN", "1", "-1", "\xFCp"}) {
        EXPECT_EQ(zyn::ParseTrend(text), 0) << text;
    }
}

struct Row {
    std::string cells[20] = {"2007-02-15", "10", "12", "7", "11", "UP", "UP", "UP", "UP", "DOWN", "UP",
                             "13",         "6",  "9",  "10", "11", "12", "8",  "7",  "6"};
    zyn::DailyRecord Build() const {
        std::string_view views[20];
        for (int i = 0; i < 20; ++i) views[i] = cells[i];
        return zyn::BuildRecord(views);
    }
};

TEST(BuildRecord, FieldsFromRowCells) {
    Row row;
    row.cells[11] = "13.5";
    row.cells[19] = "5.25";
    const zyn::DailyRecord r = row.Build();
    EXPECT_EQ(r.Date, 39128.0);
    EXPECT_EQ(r.Open, 10.0);
    EXPECT_EQ(r.High, 12.0);
    EXPECT_EQ(r.Low, 7.0);
    EXPECT_EQ(r.Close, 11.0);
    EXPECT_EQ(r.Midpoint, 9.5);
    EXPECT_EQ(r.RangeHigh, 13.5);
    EXPECT_EQ(r.RangeLow, 6.0);
    EXPECT_EQ(r.Pivot, 9.0);
    EXPECT_EQ(r.R1, 10.0);
    EXPECT_EQ(r.R2, 11.0);
    EXPECT_EQ(r.R3, 12.0);
    EXPECT_EQ(r.S1, 8.0);
    EXPECT_EQ(r.S2, 7.0);
    EXPECT_EQ(r.S3, 5.25);
    EXPECT_EQ(r.Trend1, 1);
    EXPECT_EQ(r.Trend5, -1);
    EXPECT_EQ(r.Trend6, 1);
}

TEST(BuildRecord, MidpointAndTrendSum) {
    Row row;
    row.cells[2] = "10";
    row.cells[3] = "7";
    EXPECT_EQ(row.Build().Midpoint, 8.5);
    // +1 +1 +1 +1 -1 +1: Trend5 is left out of the sum.
    EXPECT_EQ(row.Build().TrendSum, 5);
    for (int i = 5; i <= 10; ++i) row.cells[i] = "FLAT";
    row.cells[9] = "UP";
    EXPECT_EQ(row.Build().TrendSum, 0);
    for (int i = 5; i <= 10; ++i) row.cells[i] = "down";
    EXPECT_EQ(row.Build().TrendSum, -5);
    row.cells[7] = "";  // an empty trend cell is 0
    EXPECT_EQ(row.Build().TrendSum, -4);
}

TEST(BuildRecord, ConversionOrderDecidesTheMessage) {
    Row row;
    row.cells[0] = "2007-02-30";
    row.cells[1] = "x1";
    EXPECT_EQ(MessageOf([&] { row.Build(); }), kDateMessage);
    row.cells[0] = "2007-02-15";
    row.cells[4] = "c";
    row.cells[2] = "h";
    EXPECT_EQ(MessageOf([&] { row.Build(); }), DecimalMessage("x1"));
    row.cells[1] = "1";
    EXPECT_EQ(MessageOf([&] { row.Build(); }), DecimalMessage("h"));
    row.cells[2] = "2";
    EXPECT_EQ(MessageOf([&] { row.Build(); }), DecimalMessage("c"));
    row.cells[4] = "4";
    // Cells 12-13 come before 14-20; trends never fail.
    row.cells[19] = "s3";
    row.cells[12] = "rl";
    row.cells[5] = "??";
    EXPECT_EQ(MessageOf([&] { row.Build(); }), DecimalMessage("rl"));
    row.cells[12] = "1";
    EXPECT_EQ(MessageOf([&] { row.Build(); }), DecimalMessage("s3"));
    row.cells[19] = "1";
    EXPECT_EQ(MessageOf([&] { row.Build(); }), "");
}

TEST(ErrorBoxText, AppendsAPeriodAboveDot) {
    EXPECT_EQ(zyn::ErrorBoxText("Datei nicht gefunden"), "Datei nicht gefunden.");
    EXPECT_EQ(zyn::ErrorBoxText("E/A-Fehler 21"), "E/A-Fehler 21.");
    EXPECT_EQ(zyn::ErrorBoxText("Ende."), "Ende.");
    EXPECT_EQ(zyn::ErrorBoxText("a-"), "a-");       // '-' sorts below '.'
    EXPECT_EQ(zyn::ErrorBoxText("Fertig!"), "Fertig!");
    EXPECT_EQ(zyn::ErrorBoxText("Pfad/"), "Pfad/.");  // '/' sorts above '.'
    EXPECT_EQ(zyn::ErrorBoxText("gr\xC3\xBC"), "gr\xC3\xBC.");  // bytes above 127 count as unsigned
    EXPECT_EQ(zyn::ErrorBoxText(""), "");
}

TEST(IoErrorMessage, PlatformErrors) {
    EXPECT_EQ(zyn::IoErrorMessage(ENOENT), "Datei nicht gefunden");
    EXPECT_EQ(zyn::IoErrorMessage(ENOTDIR), "Ungültiger Dateiname");
    EXPECT_EQ(zyn::IoErrorMessage(EMFILE), "Zu viele geöffnete Dateien");
    EXPECT_EQ(zyn::IoErrorMessage(ENFILE), "Zu viele geöffnete Dateien");
    EXPECT_EQ(zyn::IoErrorMessage(EACCES), "Dateizugriff verweigert");
    EXPECT_EQ(zyn::IoErrorMessage(EPERM), "Dateizugriff verweigert");
    EXPECT_EQ(zyn::IoErrorMessage(EISDIR), "E/A-Fehler 21");
    EXPECT_EQ(zyn::IoErrorMessage(EIO), "E/A-Fehler 5");
    EXPECT_EQ(MessageOf([] { zyn::RaiseIoError(EIO); }), "E/A-Fehler 5");
}

}  // namespace
