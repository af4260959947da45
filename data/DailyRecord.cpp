#include "data/DailyRecord.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <string>

#include "data/RunError.h"

namespace zyn {

namespace {

// Field texts come from 8-bit files; a message must stay valid UTF-8 for the error box.
// Valid UTF-8 is kept as it is, anything else is taken byte by byte as Windows-1252.
bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        std::uint32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0u) != 0x80u) return false;
            cp = (cp << 6) | (cc & 0x3Fu);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
            return false;
        }
        i += len;
    }
    return true;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Lead byte of a sequence in valid UTF-8: its length.
std::size_t SequenceLength(unsigned char c) {
    if (c < 0x80) return 1;
    if (c < 0xE0) return 2;
    return c < 0xF0 ? 3 : 4;
}

constexpr std::size_t kShownCharacters = 100;

// A field text as a message shows it. Valid UTF-8 is kept as it is, anything else is taken byte
// by byte as Windows-1252; a NUL byte would cut the message short (it travels as a C string), so
// it shows as U+FFFD. A text longer than 100 characters shows its first 100 and "…", so that the
// error box stays readable and lays out at once whatever the file holds. The byte at commaAt
// shows as ','.
std::string ShownText(std::string_view text, std::size_t commaAt = std::string_view::npos) {
    // 0x80..0x9F of Windows-1252; unassigned positions map to themselves.
    static const std::uint16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    std::size_t shown = 0;
    for (std::size_t start = 0;;) {
        const std::size_t nul = text.find('\0', start);
        const std::size_t stop = nul == std::string_view::npos ? text.size() : nul;
        const std::string_view piece = text.substr(start, stop - start);
        const bool utf8 = IsValidUtf8(piece);
        for (std::size_t i = 0; i < piece.size(); ++shown) {
            if (shown == kShownCharacters) return out + "\u2026";
            const auto c = static_cast<unsigned char>(piece[i]);
            const std::size_t length = utf8 ? SequenceLength(c) : 1;
            if (start + i == commaAt) {
                out += ',';
            } else if (utf8) {
                out.append(piece.data() + i, length);
            } else {
                AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c);
            }
            i += length;
        }
        if (nul == std::string_view::npos) return out;
        if (shown == kShownCharacters) return out + "\u2026";
        out += "\xEF\xBF\xBD";
        ++shown;
        start = nul + 1;
    }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Converts a file text whose first "." has become the decimal separator ",". No locale is
// consulted: the separator is always the comma. Only blanks, a sign and digits may stand before
// the separator, so a "." met there is the text's first one and is read as the comma it
// became; any later "." fails. Returns false when the text is not a number.
bool ConvertDecimal(std::string_view s, double& out) {
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n && s[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    // Up to 19 digits the mantissa is exact in 64 bits; longer ones take the rare path below.
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fractionDigits = 0;
    const std::size_t mantissaStart = i;
    while (i < n && IsDigit(s[i])) {
        mantissa = mantissa * 10 + static_cast<unsigned>(s[i] - '0');
        ++digits;
        ++i;
    }
    if (i < n && (s[i] == ',' || s[i] == '.')) {
        ++i;
        while (i < n && IsDigit(s[i])) {
            mantissa = mantissa * 10 + static_cast<unsigned>(s[i] - '0');
            ++digits;
            ++fractionDigits;
            ++i;
        }
    }
    if (digits == 0) return false;
    const std::size_t mantissaEnd = i;
    long explicitExponent = 0;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (s[i] == '+' || s[i] == '-')) {
            expNegative = s[i] == '-';
            ++i;
        }
        if (i >= n || !IsDigit(s[i])) return false;
        while (i < n && IsDigit(s[i])) {
            if (explicitExponent < 100000) explicitExponent = explicitExponent * 10 + (s[i] - '0');
            ++i;
        }
        if (expNegative) explicitExponent = -explicitExponent;
    }
    const std::size_t numberEnd = i;
    while (i < n && s[i] == ' ') ++i;
    if (i != n) return false;

    const long scale = explicitExponent - fractionDigits;
    if (digits <= 19 && mantissa <= (std::uint64_t{1} << 53) && scale >= -22 && scale <= 22) {
        // Both operands are exact, so one rounding gives the correctly rounded result.
        double v = static_cast<double>(mantissa);
        v = scale < 0 ? v / kPow10[-scale] : v * kPow10[scale];
        out = negative ? -v : v;
        return true;
    }

    // Rare path (many digits or a large exponent): hand a "."-separated copy to from_chars.
    char small[128];
    std::string large;
    char* buf = small;
    const std::size_t need = (numberEnd - mantissaStart) + 2;
    if (need > sizeof small) {
        large.resize(need);
        buf = large.data();
    }
    std::size_t len = 0;
    if (negative) buf[len++] = '-';
    for (std::size_t k = mantissaStart; k < numberEnd; ++k) {
        const char c = s[k];
        buf[len++] = (k < mantissaEnd && c == ',') ? '.' : c;
    }
    double v = 0;
    const auto res = std::from_chars(buf, buf + len, v, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Underflow gives zero; overflow is not a representable number. The first non-zero
        // digit tells which: it stands at 10^lead before the exponent is applied.
        long lead = 0;
        bool inFraction = false;
        bool integerDigit = false;
        for (std::size_t k = mantissaStart; k < mantissaEnd; ++k) {
            const char c = s[k];
            if (c == ',' || c == '.') {
                if (integerDigit) break;
                inFraction = true;
            } else if (inFraction) {
                --lead;
                if (c != '0') break;
            } else if (c != '0' || integerDigit) {
                if (integerDigit) ++lead;
                integerDigit = true;
            }
        }
        if (lead + explicitExponent < 0) {
            out = negative ? -0.0 : 0.0;
            return true;
        }
        return false;
    }
    if (res.ec != std::errc() || res.ptr != buf + len) return false;
    out = v;
    return true;
}

std::string_view Part(std::string_view text, std::size_t pos, std::size_t len) {
    if (pos >= text.size()) return {};
    return text.substr(pos, len);
}

constexpr int kDaysBeforeMonth[2][13] = {
    {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335}};
constexpr int kMonthDays[2][13] = {{0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                   {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

}  // namespace

bool TryParseInteger(std::string_view text, std::int32_t& result) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && text[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n) return false;
    const std::uint64_t limit = negative ? std::uint64_t{2147483648u} : std::uint64_t{2147483647u};
    std::uint64_t value = 0;
    for (; i < n; ++i) {
        const int d = base == 16 ? HexDigit(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
        if (d < 0) return false;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (value > limit) return false;
    }
    result = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value)) : static_cast<std::int32_t>(value);
    return true;
}

std::int32_t ParseInteger(std::string_view text) {
    std::int32_t value = 0;
    if (!TryParseInteger(text, value)) throw RunError(IntegerErrorMessage(text));
    return value;
}

std::string IntegerErrorMessage(std::string_view text) { return "'" + ShownText(text) + "' ist kein gültiger Integerwert"; }

bool TryEncodeDate(int year, int month, int day, double& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
    const int leap = (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 1 : 0;
    if (day < 1 || day > kMonthDays[leap][month]) return false;
    const long y = year - 1;
    const long days = y * 365 + y / 4 - y / 100 + y / 400 + kDaysBeforeMonth[leap][month] + day - 693594;
    result = static_cast<double>(days);
    return true;
}

double ParseRecordDate(std::string_view text) {
    double result = 0;
    if (!TryParseRecordDate(text, result)) throw RunError(RecordDateErrorMessage(text));
    return result;
}

// Fixed positions: year 1-4, month 6-7, day 9-10; the separators are not read.
bool TryParseRecordDate(std::string_view text, double& value) {
    std::int32_t year = 0, month = 0, day = 0;
    return TryParseInteger(Part(text, 0, 4), year) && TryParseInteger(Part(text, 5, 2), month) &&
           TryParseInteger(Part(text, 8, 2), day) && TryEncodeDate(year, month, day, value);
}

// The first part that does not convert fails; three parts that do make an invalid date.
std::string RecordDateErrorMessage(std::string_view text) {
    std::int32_t value = 0;
    for (const std::string_view part : {Part(text, 0, 4), Part(text, 5, 2), Part(text, 8, 2)}) {
        if (!TryParseInteger(part, value)) return IntegerErrorMessage(part);
    }
    return "Ungültiges Argument zum Codieren des Datums";
}

// Files write "." as decimal point; the first one is read as the decimal separator ","
// (later dots stay and make the text fail).
double ParseDecimal(std::string_view text) {
    double value = 0;
    if (!ConvertDecimal(text, value)) throw RunError(DecimalErrorMessage(text));
    return value;
}

// The text is shown after its first "." became ",".
std::string DecimalErrorMessage(std::string_view text) {
    return "'" + ShownText(text, text.find('.')) + "' ist kein gültiger Gleitkommawert";
}

bool TryParseDecimal(std::string_view text, double& value) { return ConvertDecimal(text, value); }

std::int32_t ParseTrend(std::string_view text) {
    auto equalsUpper = [text](std::string_view word) {
        if (text.size() != word.size()) return false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            if (c != word[i]) return false;
        }
        return true;
    };
    if (equalsUpper("UP")) return 1;
    if (equalsUpper("DOWN")) return -1;
    return 0;
}

DailyRecord BuildRecord(const std::string_view (&cells)[20]) {
    DailyRecord r;
    r.Date = ParseRecordDate(cells[0]);
    r.Open = ParseDecimal(cells[1]);
    r.High = ParseDecimal(cells[2]);
    r.Low = ParseDecimal(cells[3]);
    r.Close = ParseDecimal(cells[4]);
    r.Midpoint = (r.High + r.Low) * 0.5;
    r.RangeHigh = ParseDecimal(cells[11]);
    r.RangeLow = ParseDecimal(cells[12]);
    r.Pivot = ParseDecimal(cells[13]);
    r.R1 = ParseDecimal(cells[14]);
    r.R2 = ParseDecimal(cells[15]);
    r.R3 = ParseDecimal(cells[16]);
    r.S1 = ParseDecimal(cells[17]);
    r.S2 = ParseDecimal(cells[18]);
    r.S3 = ParseDecimal(cells[19]);
    r.Trend1 = ParseTrend(cells[5]);
    r.Trend2 = ParseTrend(cells[6]);
    r.Trend3 = ParseTrend(cells[7]);
    r.Trend4 = ParseTrend(cells[8]);
    r.Trend5 = ParseTrend(cells[9]);
    r.Trend6 = ParseTrend(cells[10]);
    r.TrendSum = r.Trend1 + r.Trend2 + r.Trend3 + r.Trend4 + r.Trend6;
    return r;
}

}  // namespace zyn
