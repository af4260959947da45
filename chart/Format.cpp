#include "chart/Format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdlib>

#include "chart/ChartErrors.h"

namespace zyn::chart {

namespace {

// Digits kept from a double: enough to tell every double apart, few enough that binary drift
// (1.2999999999999998) ends in a run of 9s or 0s that rounding hides.
constexpr int kSigDigits = 18;
constexpr std::size_t kNone = std::string_view::npos;

// |value| as decimal digits: Digits[0] stands for 10^Exponent, Count significant digits with
// trailing zeros dropped; Count 0 means zero.
struct TDecimal {
    char Digits[kSigDigits];
    int Count = 0;
    int Exponent = 0;
};

void TrimZeros(TDecimal& d) {
    while (d.Count > 0 && d.Digits[d.Count - 1] == '0') --d.Count;
    if (d.Count == 0) d.Exponent = 0;
}

void Expand(double value, TDecimal& d) {
    // to_chars is exact and ignores the C locale (a German LC_NUMERIC would change snprintf).
    char buf[48];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific,
                                   kSigDigits - 1);
    // Shape: d.ddddddddddddddddde+XX
    d.Digits[0] = buf[0];
    std::memcpy(d.Digits + 1, buf + 2, kSigDigits - 1);
    const char* p = buf + 1 + kSigDigits;  // the 'e'
    ++p;
    const bool negative = *p == '-';
    ++p;
    int exponent = 0;
    for (; p < res.ptr; ++p) exponent = exponent * 10 + (*p - '0');
    d.Exponent = negative ? -exponent : exponent;
    d.Count = kSigDigits;
    TrimZeros(d);
}

// Keeps the first `keep` digits, rounding away from zero when the first dropped digit is 5 or more.
void RoundDigits(TDecimal& d, int keep) {
    if (keep >= d.Count) return;
    if (keep < 0) {  // even the first dropped digit is a leading zero
        d.Count = 0;
        d.Exponent = 0;
        return;
    }
    const bool up = d.Digits[keep] >= '5';
    d.Count = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.Digits[i] == '9') d.Digits[i--] = '0';
        if (i >= 0) {
            ++d.Digits[i];
        } else {  // 999.. carries into a new leading digit
            d.Digits[0] = '1';
            d.Count = 1;
            ++d.Exponent;
        }
    }
    TrimZeros(d);
}

// One section of a number pattern, as read once from left to right.
struct TSection {
    std::string_view Text;
    int IntPlaceholders = 0;
    int MinIntDigits = 0;      // placeholders from the first integer '0' to the point
    int DecPlaceholders = 0;
    int ForcedDecimals = 0;    // decimals up to the last '0' after the point
    std::size_t PointPos = kNone;
    bool Grouping = false;
    std::size_t ExpPos = kNone;  // the E of E+00
    std::size_t ExpEnd = kNone;
    int ExpDigits = 0;
    bool ExpSignAlways = false;
};

std::size_t SkipQuoted(std::string_view t, std::size_t i) {
    const std::size_t close = t.find(t[i], i + 1);
    return close == kNone ? t.size() : close + 1;
}

bool IsQuote(char c) { return c == '\'' || c == '"'; }

// Copies the text of the quote starting at i (to the end when it is not closed); returns the
// position after it.
std::size_t AppendQuoted(std::string& out, std::string_view t, std::size_t i) {
    const std::size_t close = t.find(t[i], i + 1);
    const std::size_t end = close == kNone ? t.size() : close;
    out.append(t.substr(i + 1, end - i - 1));
    return close == kNone ? t.size() : close + 1;
}

void ParseSection(std::string_view t, TSection& s) {
    s = TSection{};
    s.Text = t;
    int firstZero = -1;
    std::size_t i = 0;
    while (i < t.size()) {
        const char c = t[i];
        if (IsQuote(c)) {
            i = SkipQuoted(t, i);
            continue;
        }
        if (c == ',') s.Grouping = true;
        if (s.ExpPos == kNone) {
            if (c == '0' || c == '#') {
                if (s.PointPos == kNone) {
                    if (c == '0' && firstZero < 0) firstZero = s.IntPlaceholders;
                    ++s.IntPlaceholders;
                } else {
                    ++s.DecPlaceholders;
                    if (c == '0') s.ForcedDecimals = s.DecPlaceholders;
                }
            } else if (c == '.') {
                if (s.PointPos == kNone) s.PointPos = i;
            } else if ((c == 'E' || c == 'e') && i + 2 < t.size() && (t[i + 1] == '+' || t[i + 1] == '-') &&
                       t[i + 2] == '0') {
                s.ExpPos = i;
                s.ExpSignAlways = t[i + 1] == '+';
                std::size_t j = i + 2;
                while (j < t.size() && t[j] == '0') ++j;
                s.ExpDigits = static_cast<int>(j - (i + 2));
                s.ExpEnd = j;
                i = j;
                continue;
            }
        }
        ++i;
    }
    s.MinIntDigits = firstZero < 0 ? 0 : s.IntPlaceholders - firstZero;
}

// Splits at ';' outside quotes into at most three sections; returns how many there are.
int SplitSections(std::string_view p, std::string_view (&out)[3]) {
    int count = 0;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < p.size() && count < 2) {
        if (IsQuote(p[i])) {
            i = SkipQuoted(p, i);
            continue;
        }
        if (p[i] == ';') {
            out[count++] = p.substr(start, i - start);
            start = i + 1;
        }
        ++i;
    }
    // The third section ends at a further ';' (anything after it is ignored).
    std::size_t end = start;
    while (end < p.size()) {
        if (IsQuote(p[end])) {
            end = SkipQuoted(p, end);
            continue;
        }
        if (p[end] == ';') break;
        ++end;
    }
    out[count++] = p.substr(start, end - start);
    return count;
}

// The digits of the value as a section writes them: the digit at decimal place q (0 = units,
// -1 = first decimal) is Digits[Lead - q].
struct TLayout {
    TDecimal Dec;
    int Lead = 0;           // place of Digits[0]
    int Exponent = 0;       // scientific notation only
    bool TooLarge = false;  // fixed notation would need more than 18 integer digits
};

void Prepare(const TSection& s, const TDecimal& full, TLayout& lay) {
    lay.Dec = full;
    lay.Exponent = 0;
    lay.TooLarge = false;
    if (s.ExpPos != kNone) {
        // The mantissa gets exactly as many integer digits as there are integer placeholders.
        const int significant = s.IntPlaceholders + s.DecPlaceholders;
        RoundDigits(lay.Dec, significant > 0 ? significant : 1);
        lay.Lead = s.IntPlaceholders - 1;
        if (lay.Dec.Count > 0) lay.Exponent = lay.Dec.Exponent - lay.Lead;
    } else {
        if (full.Count > 0 && full.Exponent >= kSigDigits) {
            lay.TooLarge = true;
            return;
        }
        RoundDigits(lay.Dec, full.Exponent + 1 + s.DecPlaceholders);
        lay.Lead = lay.Dec.Exponent;
    }
}

void AppendUnsigned(std::string& out, unsigned long long v, int minDigits) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    for (int pad = minDigits - static_cast<int>(res.ptr - buf); pad > 0; --pad) out += '0';
    out.append(buf, res.ptr);
}

void WriteSection(std::string& out, const TSection& s, const TLayout& lay, const TFormatSettings& fs) {
    const TDecimal& d = lay.Dec;
    const int intDigits = d.Count == 0 ? 0 : (lay.Lead >= 0 ? lay.Lead + 1 : 0);
    const int total = intDigits > s.MinIntDigits ? intDigits : s.MinIntDigits;
    int decimals = d.Count - lay.Lead - 1;
    if (decimals > s.DecPlaceholders) decimals = s.DecPlaceholders;
    if (decimals < s.ForcedDecimals) decimals = s.ForcedDecimals;

    auto digitAt = [&](int place) {
        const int idx = lay.Lead - place;
        return idx >= 0 && idx < d.Count ? d.Digits[idx] : '0';
    };
    auto writeInt = [&](int place) {
        out += digitAt(place);
        if (s.Grouping && place > 0 && place % 3 == 0) out += fs.ThousandSeparator;
    };
    // Without integer placeholders the integer digits go where the point or the mantissa's end is.
    bool intFlushed = s.IntPlaceholders > 0;
    auto flushInt = [&]() {
        if (intFlushed) return;
        intFlushed = true;
        for (int q = total - 1; q >= 0; --q) writeInt(q);
    };

    const std::string_view t = s.Text;
    const std::size_t mantissaEnd = s.ExpPos == kNone ? t.size() : s.ExpPos;
    int intIndex = 0;
    int decIndex = 0;
    std::size_t i = 0;
    while (i < t.size()) {
        const char c = t[i];
        if (IsQuote(c)) {
            i = AppendQuoted(out, t, i);
            continue;
        }
        if (i == s.ExpPos) {
            flushInt();
            out += c;
            if (lay.Exponent < 0)
                out += '-';
            else if (s.ExpSignAlways)
                out += '+';
            AppendUnsigned(out, static_cast<unsigned long long>(std::abs(lay.Exponent)), s.ExpDigits);
            i = s.ExpEnd;
            continue;
        }
        if (i < mantissaEnd && (c == '0' || c == '#')) {
            if (s.PointPos == kNone || i < s.PointPos) {
                const int place = s.IntPlaceholders - 1 - intIndex;
                if (intIndex == 0)
                    for (int q = total - 1; q > place; --q) writeInt(q);  // digits beyond the placeholders
                if (place < total) writeInt(place);
                ++intIndex;
            } else {
                if (decIndex < decimals) out += digitAt(-1 - decIndex);
                ++decIndex;
            }
        } else if (i == s.PointPos) {
            flushInt();
            if (decimals > 0) out += fs.DecimalSeparator;
        } else if (c != '.' && c != ',') {
            out += c;
        }
        ++i;
    }
    flushInt();
}

}  // namespace

std::string FormatGeneral(double value, int precision, const TFormatSettings& fs) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (precision < 1) precision = 1;
    if (precision > kSigDigits) precision = kSigDigits;
    TDecimal d;
    Expand(value, d);
    RoundDigits(d, precision);
    if (d.Count == 0) return "0";
    std::string out;
    if (value < 0) out += '-';
    const int x = d.Exponent;
    if (x >= precision || x < -4) {
        out += d.Digits[0];
        if (d.Count > 1) {
            out += fs.DecimalSeparator;
            out.append(d.Digits + 1, d.Count - 1);
        }
        out += 'E';
        out += x < 0 ? '-' : '+';
        AppendUnsigned(out, static_cast<unsigned long long>(std::abs(x)), 1);
    } else if (x >= 0) {
        for (int q = 0; q <= x; ++q) out += q < d.Count ? d.Digits[q] : '0';
        if (d.Count > x + 1) {
            out += fs.DecimalSeparator;
            out.append(d.Digits + x + 1, d.Count - x - 1);
        }
    } else {
        out += '0';
        out += fs.DecimalSeparator;
        out.append(static_cast<std::size_t>(-x - 1), '0');
        out.append(d.Digits, d.Count);
    }
    return out;
}

std::string FormatFloat(std::string_view pattern, double value, const TFormatSettings& fs) {
    if (pattern.empty() || !std::isfinite(value)) return FormatGeneral(value, 15, fs);

    std::string_view sections[3];
    const int count = SplitSections(pattern, sections);
    auto pick = [&](int index) { return index < count && !sections[index].empty() ? index : 0; };

    TDecimal full;
    Expand(value, full);

    int index = value > 0 ? 0 : (value < 0 ? pick(1) : pick(2));
    TSection section;
    ParseSection(sections[index], section);
    TLayout layout;
    Prepare(section, full, layout);
    if (layout.TooLarge) return FormatGeneral(value, 15, fs);

    if (layout.Dec.Count == 0 && index != pick(2)) {
        // Rounded to nothing: written as a plain zero, without the negative section's dressing.
        index = pick(2);
        ParseSection(sections[index], section);
        const TDecimal zero{};
        Prepare(section, zero, layout);
    }

    std::string out;
    if (value < 0 && layout.Dec.Count > 0 && index == 0) out += '-';
    WriteSection(out, section, layout, fs);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Dates

namespace {

constexpr std::int64_t kFirstDay = -693593;  // 1 January 0001
constexpr std::int64_t kLastDay = 2958465;   // 31 December 9999
constexpr std::int64_t kUnixEpochDay = 25569;  // 1 January 1970

struct TDateParts {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    int WeekDay = 0;  // 0 = Sunday
    bool HasTime = false;
};

// Proleptic Gregorian calendar from a day number counted from 1 January 1970.
void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;  // shift the epoch to 1 March 0000
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::int64_t DaysFromCivil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool SplitDateTime(double value, TDateParts& parts) {
    if (!std::isfinite(value) || value < static_cast<double>(kFirstDay - 1) ||
        value > static_cast<double>(kLastDay + 1))
        return false;
    const double whole = std::trunc(value);
    std::int64_t day = static_cast<std::int64_t>(whole);
    std::int64_t secs = std::llround(std::fabs(value - whole) * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        ++day;
    }
    if (day < kFirstDay || day > kLastDay) return false;
    CivilFromDays(day - kUnixEpochDay, parts.Year, parts.Month, parts.Day);
    parts.Hour = static_cast<int>(secs / 3600);
    parts.Minute = static_cast<int>(secs / 60 % 60);
    parts.Second = static_cast<int>(secs % 60);
    parts.WeekDay = static_cast<int>(((day % 7) + 13) % 7);  // day 0 was a Saturday
    parts.HasTime = secs != 0;
    return true;
}

constexpr const char* kShortDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kLongDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                                         "Saturday"};
constexpr const char* kShortMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kLongMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                           "July",    "August",   "September", "October", "November", "December"};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsDateToken(char c) {
    const char l = Lower(c);
    return l == 'd' || l == 'm' || l == 'y' || l == 'h' || l == 'n' || l == 's';
}

// Whether the next token after position i (skipping literal text) is a seconds token.
bool SecondsFollow(std::string_view pat, std::size_t i) {
    while (i < pat.size()) {
        if (IsQuote(pat[i])) {
            i = SkipQuoted(pat, i);
            continue;
        }
        if (IsDateToken(pat[i])) return Lower(pat[i]) == 's';
        ++i;
    }
    return false;
}

void AppendDateTime(std::string& out, std::string_view pat, const TDateParts& t, const TFormatSettings& fs,
                    int depth) {
    bool afterHour = false;
    std::size_t i = 0;
    while (i < pat.size()) {
        const char c = pat[i];
        if (IsQuote(c)) {
            i = AppendQuoted(out, pat, i);
            continue;
        }
        if (!IsDateToken(c)) {
            out += c;
            ++i;
            continue;
        }
        const char l = Lower(c);
        std::size_t j = i + 1;
        if (l == 'm') {
            while (j < pat.size() && pat[j] == c) ++j;
        } else {
            while (j < pat.size() && Lower(pat[j]) == l) ++j;
        }
        const int run = static_cast<int>(j - i);
        bool hour = false;
        switch (l) {
            case 'd':
                if (run <= 2)
                    AppendUnsigned(out, static_cast<unsigned>(t.Day), run);
                else if (run == 3)
                    out += kShortDayNames[t.WeekDay];
                else if (run == 4)
                    out += kLongDayNames[t.WeekDay];
                else if (depth == 0)
                    AppendDateTime(out, fs.ShortDateFormat, t, fs, depth + 1);
                break;
            case 'm':
                if (c == 'm' && run <= 2 && (afterHour || SecondsFollow(pat, j)))
                    AppendUnsigned(out, static_cast<unsigned>(t.Minute), run);
                else if (run <= 2)
                    AppendUnsigned(out, static_cast<unsigned>(t.Month), run);
                else if (run == 3)
                    out += kShortMonthNames[t.Month - 1];
                else
                    out += kLongMonthNames[t.Month - 1];
                break;
            case 'y':
                if (run <= 2)
                    AppendUnsigned(out, static_cast<unsigned>(t.Year % 100), 2);
                else
                    AppendUnsigned(out, static_cast<unsigned>(t.Year), 4);
                break;
            case 'h':
                AppendUnsigned(out, static_cast<unsigned>(t.Hour), run >= 2 ? 2 : 1);
                hour = true;
                break;
            case 'n':
                AppendUnsigned(out, static_cast<unsigned>(t.Minute), run >= 2 ? 2 : 1);
                break;
            default:  // 's'
                AppendUnsigned(out, static_cast<unsigned>(t.Second), run >= 2 ? 2 : 1);
                break;
        }
        afterHour = hour;
        i = j;
    }
}

}  // namespace

bool TryDecodeDateTime(double value, int& year, int& month, int& day, int& hour, int& minute, int& second) {
    TDateParts parts;
    if (!SplitDateTime(value, parts)) return false;
    year = parts.Year;
    month = parts.Month;
    day = parts.Day;
    hour = parts.Hour;
    minute = parts.Minute;
    second = parts.Second;
    return true;
}

void DecodeDateTime(double value, int& year, int& month, int& day, int& hour, int& minute, int& second) {
    if (!TryDecodeDateTime(value, year, month, day, hour, minute, second))
        throw ChartException("Invalid date value");
}

bool TryEncodeDate(int year, int month, int day, double& value) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int last = kDaysInMonth[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day > last) return false;
    value = static_cast<double>(DaysFromCivil(year, month, day) + kUnixEpochDay);
    return true;
}

std::string FormatDateTime(std::string_view pattern, double value, const TFormatSettings& fs) {
    TDateParts parts;
    if (!SplitDateTime(value, parts)) return {};
    std::string out;
    if (pattern.empty()) {
        AppendDateTime(out, fs.ShortDateFormat, parts, fs, 1);
        if (parts.HasTime) {
            out += ' ';
            AppendDateTime(out, fs.ShortTimeFormat, parts, fs, 1);
        }
    } else {
        AppendDateTime(out, pattern, parts, fs, 0);
    }
    return out;
}

}  // namespace zyn::chart
