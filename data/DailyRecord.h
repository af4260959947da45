#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zyn {

// One day of an instrument: fifteen reals followed by seven integers, in file-field order.
struct DailyRecord {
    double Date = 0;  // whole day count, day 0 = 30 December 1899
    double Open = 0;
    double High = 0;
    double Low = 0;
    double Close = 0;
    double Midpoint = 0;  // (High + Low) * 0.5
    double RangeHigh = 0;
    double RangeLow = 0;
    double Pivot = 0;
    double R1 = 0, R2 = 0, R3 = 0;
    double S1 = 0, S2 = 0, S3 = 0;
    std::int32_t Trend1 = 0, Trend2 = 0, Trend3 = 0, Trend4 = 0, Trend5 = 0, Trend6 = 0;
    std::int32_t TrendSum = 0;  // Trend1..Trend4 + Trend6 (Trend5 is left out)
};

using RecordList = std::vector<DailyRecord>;

// Field conversions; each throws RunError with the German run-time message.
double ParseRecordDate(std::string_view text);
double ParseDecimal(std::string_view text);
std::int32_t ParseTrend(std::string_view text);

// The run-time integer conversion used for the date parts: leading blanks, an optional sign,
// then decimal digits or hexadecimal digits after "$" or "0x"/"0X"; the value must fit 32 bits.
// Throws RunError("'<text>' ist kein gültiger Integerwert").
std::int32_t ParseInteger(std::string_view text);

// The messages the conversions above raise for a text they refuse (a text that converts gives
// the message it would have got had it failed). A field text longer than 100 characters shows
// its first 100 followed by "…".
std::string IntegerErrorMessage(std::string_view text);
std::string DecimalErrorMessage(std::string_view text);
std::string RecordDateErrorMessage(std::string_view text);

// Non-throwing forms of the conversions above for the reader's hot path: false where the
// throwing form would fail (the throwing form then gives the message).
bool TryParseInteger(std::string_view text, std::int32_t& value);
bool TryParseDecimal(std::string_view text, double& value);
bool TryParseRecordDate(std::string_view text, double& value);

// Day count (day 0 = 30 December 1899) of a Gregorian date; false when the date is invalid
// (year 1..9999, month 1..12, day within the month).
bool TryEncodeDate(int year, int month, int day, double& result);

// The twenty cell texts of one row in row order (cells 1..20).
DailyRecord BuildRecord(const std::string_view (&cells)[20]);

}  // namespace zyn
