#pragma once
#include <string>
#include <string_view>

namespace zyn::chart {

// Locale settings for label texts; filled once at start-up by the application, set
// explicitly by tests. The engine never asks the system itself.
struct TFormatSettings {
    std::string DecimalSeparator = ",";
    std::string ThousandSeparator = ".";
    std::string ShortDateFormat = "dd.MM.yyyy";
    std::string ShortTimeFormat = "hh:mm";
};

// Number pattern ("0.###0", "#,##0.###", sections with ';', quoted text, exponent).
//  - `0` always writes a digit, `#` only a digit the value has; the first `.` is the decimal
//    separator's place (further dots are ignored); a `,` anywhere turns on thousands grouping;
//    E+0…/E-0… (or e) asks for scientific notation with at least that many exponent digits,
//    the sign always written for E+, only a minus for E-; quoted text ('…' or "…") and every
//    other character are copied at their place.
//  - Up to three sections split by `;`: positive, negative (written without a sign), zero. An
//    empty or missing section falls back to the first; a negative value written with the first
//    section gets a leading "-".
//  - The value is rounded half away from zero on its 18-significant-digit decimal expansion,
//    so binary drift such as 1.2999999999999998 or 0.30000000000000004 does not show. A value
//    that rounds to zero in its section is written as 0 with the zero section, or else the first.
//  - A section without integer placeholders writes the integer digits (if any) at the decimal
//    point, or at its end when it has none; a section of text only writes just its text for 0.
//  - Values needing more than 18 integer digits (fixed notation), NaN and infinities are
//    written with FormatGeneral(value, 15, fs); so is any value for an empty pattern.
std::string FormatFloat(std::string_view pattern, double value, const TFormatSettings& fs);

// General format with the given significant digits (1 to 18): the value rounded to that many
// significant digits, trailing zeros dropped, with fs.DecimalSeparator. Plain notation while the
// decimal exponent lies in -4 … precision-1, else scientific as "1.5E+20" / "2.5E-7" (mantissa
// with one integer digit, "E", the exponent's sign, its digits without leading zeros).
// Non-finite values give "NAN", "INF" and "-INF".
std::string FormatGeneral(double value, int precision, const TFormatSettings& fs);

// Date pattern of a day count with day 0 = 30 December 1899; the time is rounded to the
// nearest second (23:59:59.6 becomes 00:00:00 of the next day).
//  d / dd: day of month without / with leading zero; ddd / dddd: English short / long day
//  name; ddddd (or longer): fs.ShortDateFormat. M / MM: month without / with leading zero;
//  MMM / MMMM: English short / long month name. y / yy: two-digit year; yyy / yyyy: four-digit
//  year. h / hh: hour (0-23), n / nn: minute, s / ss: second, each without / with leading zero.
//  Lower-case m / mm means minutes when it follows an hour or precedes a second (only literal
//  text between), otherwise month; upper-case M is always the month. d, y, h, n, s are also
//  read in upper case. Quoted text ('…' or "…") and every other character are copied.
//  An empty pattern means fs.ShortDateFormat, followed by " " and fs.ShortTimeFormat when the
//  value has a time of day. Values outside the years 1 … 9999 (or not finite) give "".
//  Negative values: the integral part counts the days, the absolute fraction is the time.
std::string FormatDateTime(std::string_view pattern, double value, const TFormatSettings& fs);

// Gregorian day count from 30 December 1899 back to year, month and day (and time, rounded to
// the nearest second with the carry into the next day). Valid for the years 1 … 9999:
// TryDecodeDateTime returns false outside them (and for NaN/infinity), DecodeDateTime raises
// ChartException "Invalid date value".
bool TryDecodeDateTime(double value, int& year, int& month, int& day, int& hour, int& minute, int& second);
void DecodeDateTime(double value, int& year, int& month, int& day, int& hour, int& minute, int& second);

// Day count of a calendar date (day 0 = 30 December 1899); false for an invalid date or a year
// outside 1 … 9999.
bool TryEncodeDate(int year, int month, int day, double& value);

}  // namespace zyn::chart
