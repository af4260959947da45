#include "chart/Format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "chart/ChartErrors.h"

namespace zyn::chart {
namespace {

TFormatSettings DotSettings() {
    TFormatSettings fs;
    fs.DecimalSeparator = ".";
    fs.ThousandSeparator = ",";
    return fs;
}

TFormatSettings GermanSettings() {
    TFormatSettings fs;
    fs.DecimalSeparator = ",";
    fs.ThousandSeparator = ".";
    return fs;
}

std::string F(const char* pattern, double value) { return FormatFloat(pattern, value, DotSettings()); }
std::string D(const char* pattern, double value) { return FormatDateTime(pattern, value, GermanSettings()); }

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- The patterns the viewer uses ----------------------------------------------------------

TEST(FormatFloatTest, CurrencyPatternAlwaysFourDecimals) {
    EXPECT_EQ(F("0.###0", 1.3), "1.3000");
    EXPECT_EQ(F("0.###0", 1.23456), "1.2346");
    EXPECT_EQ(F("0.###0", 0), "0.0000");
    EXPECT_EQ(F("0.###0", -0.5), "-0.5000");
    EXPECT_EQ(F("0.###0", 1.2999999999999998), "1.3000");
    EXPECT_EQ(F("0.###0", 147.123456), "147.1235");
}

TEST(FormatFloatTest, IndexPatternAlwaysTwoDecimals) {
    EXPECT_EQ(F("0.#0", 5000), "5000.00");
    EXPECT_EQ(F("0.#0", 12345.678), "12345.68");
    EXPECT_EQ(F("0.#0", 0.5), "0.50");
    EXPECT_EQ(F("0.#0", -12.3), "-12.30");
}

TEST(FormatFloatTest, DefaultPatternGroupsAndDropsTrailingZeros) {
    EXPECT_EQ(F("#,##0.###", 1234.5), "1,234.5");
    EXPECT_EQ(F("#,##0.###", -6), "-6");
    EXPECT_EQ(F("#,##0.###", 0.25), "0.25");
    EXPECT_EQ(F("#,##0.###", 6), "6");
    EXPECT_EQ(F("#,##0.###", 0), "0");
    EXPECT_EQ(F("#,##0.###", 1234567.891), "1,234,567.891");
    EXPECT_EQ(F("#,##0.###", 999), "999");
    EXPECT_EQ(F("#,##0.###", 1000), "1,000");
    EXPECT_EQ(F("#,##0.###", -1234567), "-1,234,567");
    EXPECT_EQ(F("#,##0.###", 0.0004), "0");
    EXPECT_EQ(F("#,##0.###", 0.0005), "0.001");
}

TEST(FormatFloatTest, GermanSeparators) {
    const TFormatSettings de = GermanSettings();
    EXPECT_EQ(FormatFloat("#,##0.###", 1234.5, de), "1.234,5");
    EXPECT_EQ(FormatFloat("#,##0.###", 1234567.891, de), "1.234.567,891");
    EXPECT_EQ(FormatFloat("0.###0", 1.3, de), "1,3000");
    EXPECT_EQ(FormatFloat("0.#0", 5000, de), "5000,00");
    EXPECT_EQ(FormatFloat("#,##0.###", -6, de), "-6");
    // Separators are texts, not single characters.
    TFormatSettings odd = de;
    odd.ThousandSeparator = "'";
    odd.DecimalSeparator = " dec ";
    EXPECT_EQ(FormatFloat("#,##0.0", 1234567.25, odd), "1'234'567 dec 3");
    odd.ThousandSeparator = "";
    EXPECT_EQ(FormatFloat("#,##0", 1234567, odd), "1234567");
}

// ---- Rounding on the decimal expansion -----------------------------------------------------

TEST(FormatFloatTest, FloatingDriftIsHidden) {
    EXPECT_EQ(F("#,##0.###", 0.30000000000000004), "0.3");
    EXPECT_EQ(F("#,##0.###", 0.1 + 0.2), "0.3");
    EXPECT_EQ(F("#,##0.###", -1.1102230246251565e-16), "0");

    // Labels come from subtracting the step again and again.
    double v = 1.35;
    const char* expected[] = {"1.3500", "1.3000", "1.2500", "1.2000", "1.1500", "1.1000"};
    for (const char* text : expected) {
        EXPECT_EQ(F("0.###0", v), text) << v;
        v -= 0.05;
    }
    double sum = 0;
    for (int i = 0; i < 10; ++i) sum += 0.1;  // 0.9999999999999999
    EXPECT_EQ(F("#,##0.###", sum), "1");
    double w = 6;
    for (int i = 0; i < 6; ++i) w -= 2.2;  // -7.200000000000001
    EXPECT_EQ(F("#,##0.###", w), "-7.2");
}

TEST(FormatFloatTest, RoundsHalfAwayFromZeroOnEighteenDigits) {
    EXPECT_EQ(F("0.0", 0.25), "0.3");        // exact binary tie: still up
    EXPECT_EQ(F("0.0", -0.25), "-0.3");      // away from zero
    EXPECT_EQ(F("0.00", -0.125), "-0.13");
    EXPECT_EQ(F("0", 0.5), "1");
    EXPECT_EQ(F("0", -0.5), "-1");
    EXPECT_EQ(F("0", 2.5), "3");
    EXPECT_EQ(F("0", 0.49999999999999994), "0");  // 4.99999999999999944e-01
    // The 18-digit expansion decides, not the short round-trip text.
    EXPECT_EQ(F("0.00", 2.675), "2.67");  // 2.67499999999999982...
    EXPECT_EQ(F("0.00", 1.005), "1.00");  // 1.00499999999999989...
    EXPECT_EQ(F("0.0", 1.35), "1.4");     // 1.35000000000000009...
    // Carries through nines into a new digit and a new thousands group.
    EXPECT_EQ(F("0.000", 9.9996), "10.000");
    EXPECT_EQ(F("#,##0.000", 999.9996), "1,000.000");
    EXPECT_EQ(F("0.###0", 0.99999), "1.0000");
}

TEST(FormatFloatTest, NegativeZeroAndValuesRoundingToZeroLoseTheirSign) {
    EXPECT_EQ(F("0.00", -0.0), "0.00");
    EXPECT_EQ(F("0.00", -0.00001), "0.00");
    EXPECT_EQ(F("0.00", -0.004), "0.00");
    EXPECT_EQ(F("0.00", -0.005), "-0.01");
    EXPECT_EQ(F("0", -0.4), "0");
    EXPECT_EQ(F("0.###0", -1e-300), "0.0000");
    EXPECT_EQ(F("0.###0", std::numeric_limits<double>::denorm_min()), "0.0000");
}

// ---- Pattern structure ---------------------------------------------------------------------

TEST(FormatFloatTest, LeadingZerosFromTheFirstZeroPlaceholder) {
    EXPECT_EQ(F("000.0", 5), "005.0");
    EXPECT_EQ(F("000.0", 12345), "12345.0");
    EXPECT_EQ(F("000.0", -5), "-005.0");
    EXPECT_EQ(F("#0.0", 0.5), "0.5");
    EXPECT_EQ(F("#.##", 0.5), ".5");  // no forced integer digit
    EXPECT_EQ(F("#.##", 0), "");
    EXPECT_EQ(F("00", 0), "00");
    EXPECT_EQ(F("0,000", 5), "0,005");
    EXPECT_EQ(F("#0#.#", 7), "07");
}

TEST(FormatFloatTest, DotsCommasAndPlainCharacters) {
    EXPECT_EQ(F("0.0.0", 1.25), "1.25");      // further dots are ignored
    EXPECT_EQ(F("0.00,", 1234.5), "1,234.50");  // a comma anywhere groups
    EXPECT_EQ(F("000-0000", 5551234), "555-1234");
    EXPECT_EQ(F("000-0000", 12), "000-0012");
    EXPECT_EQ(F("0.0%", 5), "5.0%");
    EXPECT_EQ(F("0 EUR", 5), "5 EUR");  // E not followed by a sign and zeros
    EXPECT_EQ(F("0E+", 5), "5E+");
    EXPECT_EQ(F("[0.0]", -2.5), "-[2.5]");
}

TEST(FormatFloatTest, QuotedTextIsCopied) {
    EXPECT_EQ(F("0.00 'EUR'", 5), "5.00 EUR");
    EXPECT_EQ(F("\"Kurs: \"0.00", 5), "Kurs: 5.00");
    EXPECT_EQ(F("'0.#,;E+0' 0", 5), "0.#,;E+0 5");  // nothing inside quotes is a pattern character
    EXPECT_EQ(F("'$'0.00", -5), "-$5.00");
    EXPECT_EQ(F("0.0 'unterminated", 5), "5.0 unterminated");
    EXPECT_EQ(F("'a\"b' 0", 1), "a\"b 1");
}

TEST(FormatFloatTest, Sections) {
    const char* p = "0.00;(0.00);'zero'";
    EXPECT_EQ(F(p, 5), "5.00");
    EXPECT_EQ(F(p, -5), "(5.00)");
    EXPECT_EQ(F(p, 0), "zero");
    EXPECT_EQ(F(p, -0.0), "zero");
    EXPECT_EQ(F(p, 0.004), "zero");   // rounds to zero: the zero section
    EXPECT_EQ(F(p, -0.001), "zero");
    EXPECT_EQ(F(p, 0.005), "0.01");
    EXPECT_EQ(F(p, -1234.567), "(1234.57)");

    // Without a zero section a value rounding to zero is a plain zero of the first section.
    EXPECT_EQ(F("0.00;(0.00)", -0.001), "0.00");
    EXPECT_EQ(F("0.00;(0.00)", 0), "0.00");
    EXPECT_EQ(F("0.00;(0)", -0.4), "0.00");  // decided with the negative section's decimals
    EXPECT_EQ(F("0.00;(0)", -0.6), "(1)");

    // Empty sections fall back to the first, which writes the minus itself.
    EXPECT_EQ(F("0.00;", -5), "-5.00");
    EXPECT_EQ(F("0.00;;'zero'", -5), "-5.00");
    EXPECT_EQ(F("0.00;;'zero'", 0), "zero");
    EXPECT_EQ(F("0.00;(0.00);", 0), "0.00");
    EXPECT_EQ(F("0.0;-0.0;0;ignored", -1), "-1.0");
    EXPECT_EQ(F("0.0;-0.0;0;ignored", 0), "0");
    EXPECT_EQ(F("'a;b' 0", 5), "a;b 5");  // a quoted ';' does not end a section
    EXPECT_EQ(F("+0;-0;'='", 3), "+3");
    EXPECT_EQ(F("+0;-0;'='", -3), "-3");
}

TEST(FormatFloatTest, ScientificNotation) {
    EXPECT_EQ(F("0.00E+00", 12345), "1.23E+04");
    EXPECT_EQ(F("0.00E+00", 0.00012345), "1.23E-04");
    EXPECT_EQ(F("0.00E+00", -12345), "-1.23E+04");
    EXPECT_EQ(F("0.00E+00", 0), "0.00E+00");
    EXPECT_EQ(F("0.00E+00", 9.996), "1.00E+01");  // carry raises the exponent
    EXPECT_EQ(F("0.00E+00", 1e300), "1.00E+300");
    EXPECT_EQ(F("0.0E-0", 12345), "1.2E4");
    EXPECT_EQ(F("0.0E-0", 0.00012), "1.2E-4");
    EXPECT_EQ(F("0.0e+000", 1.5), "1.5e+000");
    EXPECT_EQ(F("00.0E+00", 12345), "12.3E+03");
    EXPECT_EQ(F("0.###E+0", 1.5e10), "1.5E+10");
    EXPECT_EQ(F("0.00E+00 'x'", 12345), "1.23E+04 x");
    EXPECT_EQ(FormatFloat("0.00E+00", 12345, GermanSettings()), "1,23E+04");
}

TEST(FormatFloatTest, HugeAndNonFiniteValuesUseTheGeneralFormat) {
    EXPECT_EQ(F("0.#0", 1e20), "1E+20");
    EXPECT_EQ(F("0.#0", -1.5e20), "-1.5E+20");
    EXPECT_EQ(F("#,##0.###", 1e18), "1E+18");  // 19 integer digits
    // 18 integer digits are still written as digits (the nearest double to 123456789012345678).
    EXPECT_EQ(F("0.#0", 123456789012345678.0), "123456789012345680.00");
    EXPECT_EQ(F("#,##0", 123456789012345678.0), "123,456,789,012,345,680");
    EXPECT_EQ(F("0.#0", kNaN), "NAN");
    EXPECT_EQ(F("0.#0", kInf), "INF");
    EXPECT_EQ(F("0.#0", -kInf), "-INF");
    EXPECT_EQ(FormatFloat("0.#0", 1.5e20, GermanSettings()), "1,5E+20");
    EXPECT_EQ(F("", 1234.5), "1234.5");  // no pattern at all
}

TEST(FormatGeneralTest, ShortestTextUpToThePrecision) {
    const TFormatSettings fs = DotSettings();
    EXPECT_EQ(FormatGeneral(0, 15, fs), "0");
    EXPECT_EQ(FormatGeneral(-0.0, 15, fs), "0");
    EXPECT_EQ(FormatGeneral(1.5, 15, fs), "1.5");
    EXPECT_EQ(FormatGeneral(-2.5, 15, fs), "-2.5");
    EXPECT_EQ(FormatGeneral(0.1 + 0.2, 15, fs), "0.3");
    EXPECT_EQ(FormatGeneral(1.0 / 3.0, 15, fs), "0.333333333333333");
    EXPECT_EQ(FormatGeneral(123456789012345.0, 15, fs), "123456789012345");
    EXPECT_EQ(FormatGeneral(1234567890123456.0, 15, fs), "1.23456789012346E+15");
    EXPECT_EQ(FormatGeneral(0.0001, 15, fs), "0.0001");
    EXPECT_EQ(FormatGeneral(0.00001, 15, fs), "1E-5");
    EXPECT_EQ(FormatGeneral(-2.5e-7, 15, fs), "-2.5E-7");
    EXPECT_EQ(FormatGeneral(1.5e300, 15, fs), "1.5E+300");
    EXPECT_EQ(FormatGeneral(1234.5, 3, fs), "1.23E+3");
    EXPECT_EQ(FormatGeneral(999.96, 3, fs), "1E+3");
    EXPECT_EQ(FormatGeneral(99.5, 3, fs), "99.5");
    EXPECT_EQ(FormatGeneral(1234.5, 15, GermanSettings()), "1234,5");
    EXPECT_EQ(FormatGeneral(kNaN, 15, fs), "NAN");
    EXPECT_EQ(FormatGeneral(-kInf, 15, fs), "-INF");
}

// ---- Dates ---------------------------------------------------------------------------------

TEST(FormatDateTimeTest, DayCountsAroundTheStartAndLeapYears) {
    EXPECT_EQ(D("dd.MM.yyyy", 0), "30.12.1899");
    EXPECT_EQ(D("dd.MM.yyyy", 1), "31.12.1899");
    EXPECT_EQ(D("dd.MM.yyyy", 2), "01.01.1900");
    EXPECT_EQ(D("dd.MM.yyyy", 60), "28.02.1900");  // 1900 has no 29 February
    EXPECT_EQ(D("dd.MM.yyyy", 61), "01.03.1900");
    EXPECT_EQ(D("dd.MM.yyyy", 1521), "29.02.1904");
    EXPECT_EQ(D("dd.MM.yyyy", 39128), "15.02.2007");
    EXPECT_EQ(D("dd.MM.yyyy", 36585), "29.02.2000");  // 2000 is a leap year
    EXPECT_EQ(D("dd.MM.yyyy", 36586), "01.03.2000");
    EXPECT_EQ(D("dd.MM.yyyy", 45351), "29.02.2024");
    EXPECT_EQ(D("dd.MM.yyyy", 73109), "28.02.2100");  // 2100 is not
    EXPECT_EQ(D("dd.MM.yyyy", 73110), "01.03.2100");
    EXPECT_EQ(D("dd.MM.yyyy", -109512), "29.02.1600");
    EXPECT_EQ(D("dd.MM.yyyy", -693593), "01.01.0001");
    EXPECT_EQ(D("dd.MM.yyyy", 2958465), "31.12.9999");
    EXPECT_EQ(D("dd.MM.yyyy hh:nn", 45000.5), "15.03.2023 12:00");
}

TEST(FormatDateTimeTest, PatternLetters) {
    EXPECT_EQ(D("d.M.yy", 39128), "15.2.07");
    EXPECT_EQ(D("d.M.yy", 2), "1.1.00");
    EXPECT_EQ(D("DD.MM.YYYY", 39128), "15.02.2007");
    EXPECT_EQ(D("yyyy-MM-dd'T'hh:nn:ss", 45000.5), "2023-03-15T12:00:00");
    EXPECT_EQ(D("h:n:s", 0.5 + 5.0 / 1440 + 7.0 / 86400), "12:5:7");
    EXPECT_EQ(D("hh:nn:ss", 0.5 + 5.0 / 1440 + 7.0 / 86400), "12:05:07");
    EXPECT_EQ(D("ddd dddd MMM MMMM", 39128), "Thu Thursday Feb February");
    EXPECT_EQ(D("dddd", 0), "Saturday");
    EXPECT_EQ(D("dddd", 2), "Monday");
    EXPECT_EQ(D("ddddd", 39128), "15.02.2007");  // the short date format
    EXPECT_EQ(D("'Tag' d", 39128), "Tag 15");
    EXPECT_EQ(D("\"d\" d", 39128), "d 15");
    EXPECT_EQ(D("yyyy", -693593), "0001");
}

TEST(FormatDateTimeTest, LowerCaseMIsMinuteNextToHoursOrSeconds) {
    const double t = 39128 + 18.0 / 24 + 7.0 / 1440 + 9.0 / 86400;  // 15.02.2007 18:07:09
    EXPECT_EQ(D("hh:mm", t), "18:07");
    EXPECT_EQ(D("h:m", t), "18:7");
    EXPECT_EQ(D("mm:ss", t), "07:09");
    EXPECT_EQ(D("mm/dd/yyyy", t), "02/15/2007");
    EXPECT_EQ(D("dd.mm.yyyy hh:mm", t), "15.02.2007 18:07");
    EXPECT_EQ(D("hh:MM", t), "18:02");  // upper case is always the month
}

TEST(FormatDateTimeTest, TimeIsRoundedToTheNearestSecond) {
    EXPECT_EQ(D("hh:nn:ss", 0.5 + 59.6 / 86400), "12:01:00");
    EXPECT_EQ(D("hh:nn:ss", 0.5 + 59.4 / 86400), "12:00:59");
    EXPECT_EQ(D("dd.MM.yyyy hh:nn:ss", 0.99999999), "31.12.1899 00:00:00");
    EXPECT_EQ(D("hh:nn", 45000.0 + 1.0 / 3), "08:00");
    // Steps of one minute added up keep landing on whole minutes.
    double v = 39128;
    for (int i = 0; i < 600; ++i) v += 1.0 / 1440;
    EXPECT_EQ(D("dd.MM.yyyy hh:nn:ss", v), "15.02.2007 10:00:00");
}

TEST(FormatDateTimeTest, NegativeValuesUseTheAbsoluteFraction) {
    EXPECT_EQ(D("dd.MM.yyyy hh:nn", -1.25), "29.12.1899 06:00");
    EXPECT_EQ(D("dd.MM.yyyy hh:nn", -0.5), "30.12.1899 12:00");
}

TEST(FormatDateTimeTest, EmptyPatternUsesTheShortFormats) {
    EXPECT_EQ(D("", 39128), "15.02.2007");
    EXPECT_EQ(D("", 39128.75), "15.02.2007 18:00");
    TFormatSettings us = DotSettings();
    us.ShortDateFormat = "MM/dd/yyyy";
    us.ShortTimeFormat = "hh:nn";
    EXPECT_EQ(FormatDateTime("", 39128.75, us), "02/15/2007 18:00");
    EXPECT_EQ(FormatDateTime("ddddd", 39128.75, us), "02/15/2007");
}

TEST(FormatDateTimeTest, ValuesOutsideTheCalendarGiveNoText) {
    EXPECT_EQ(D("dd.MM.yyyy", -693594), "");
    EXPECT_EQ(D("dd.MM.yyyy", 2958466), "");
    EXPECT_EQ(D("dd.MM.yyyy", 2958465.99999999), "");  // rounds into the year 10000
    EXPECT_EQ(D("dd.MM.yyyy", 1e300), "");
    EXPECT_EQ(D("dd.MM.yyyy", -1e300), "");
    EXPECT_EQ(D("dd.MM.yyyy", kNaN), "");
    EXPECT_EQ(D("dd.MM.yyyy", kInf), "");
}

// ---- Decoding ------------------------------------------------------------------------------

TEST(DecodeDateTimeTest, EveryDayOfTheYearsOneToNineThousandNineHundredNinetyNine) {
    // A plain day-by-day calendar walk as the reference.
    int year = 1, month = 1, day = 1;
    auto daysIn = [](int y, int m) {
        static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        return kDays[m - 1] + (m == 2 && leap ? 1 : 0);
    };
    int mismatches = 0;
    for (int count = -693593; count <= 2958465; ++count) {
        int y = 0, m = 0, d = 0, h = -1, n = -1, s = -1;
        DecodeDateTime(count, y, m, d, h, n, s);
        double encoded = 0;
        const bool ok = TryEncodeDate(year, month, day, encoded);
        if (y != year || m != month || d != day || h != 0 || n != 0 || s != 0 || !ok || encoded != count) {
            if (++mismatches <= 5)
                ADD_FAILURE() << count << " gave " << y << "-" << m << "-" << d << ", expected " << year << "-"
                              << month << "-" << day;
        }
        if (++day > daysIn(year, month)) {
            day = 1;
            if (++month > 12) {
                month = 1;
                ++year;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(year, 10000);
}

TEST(DecodeDateTimeTest, TimeOfDay) {
    int y, m, d, h, n, s;
    DecodeDateTime(45000.5 + 1.0 / 86400 * 3723, y, m, d, h, n, s);  // + 1:02:03
    EXPECT_EQ(y, 2023);
    EXPECT_EQ(m, 3);
    EXPECT_EQ(d, 15);
    EXPECT_EQ(h, 13);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(s, 3);
    DecodeDateTime(2958465.9999, y, m, d, h, n, s);
    EXPECT_EQ(d, 31);
    EXPECT_EQ(h, 23);
    EXPECT_EQ(n, 59);
    EXPECT_EQ(s, 51);  // 0.9999 day = 86391.36 s
}

TEST(DecodeDateTimeTest, OutOfRange) {
    int y = 7, m = 7, d = 7, h = 7, n = 7, s = 7;
    EXPECT_FALSE(TryDecodeDateTime(-693594, y, m, d, h, n, s));
    EXPECT_FALSE(TryDecodeDateTime(2958466, y, m, d, h, n, s));
    EXPECT_FALSE(TryDecodeDateTime(kNaN, y, m, d, h, n, s));
    EXPECT_EQ(y, 7);  // untouched on failure
    EXPECT_THROW(DecodeDateTime(1e20, y, m, d, h, n, s), ChartException);
    EXPECT_TRUE(TryDecodeDateTime(-693593, y, m, d, h, n, s));
    EXPECT_EQ(y, 1);
}

TEST(EncodeDateTest, RejectsInvalidDates) {
    double v = -1;
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, v));
    EXPECT_FALSE(TryEncodeDate(2023, 4, 31, v));
    EXPECT_FALSE(TryEncodeDate(2023, 13, 1, v));
    EXPECT_FALSE(TryEncodeDate(2023, 1, 0, v));
    EXPECT_FALSE(TryEncodeDate(0, 12, 31, v));
    EXPECT_FALSE(TryEncodeDate(10000, 1, 1, v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, v));
    EXPECT_EQ(v, 36585);
    EXPECT_TRUE(TryEncodeDate(1899, 12, 30, v));
    EXPECT_EQ(v, 0);
}

}  // namespace
}  // namespace zyn::chart
