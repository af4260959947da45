#include "tools/SampleData.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <random>

// How the sample rows are made (deterministic for a seed, arithmetic only, so every platform
// writes the same bytes):
// - The close follows a random walk on weekdays that is pulled gently toward the middle of the
//   instrument's plausible band: close = open * (1 + 0.02 * (mid - open) / open + vol * z),
//   z roughly normal (sum of twelve uniforms minus six); the open gaps slightly from the
//   previous close; High and Low lie beyond max/min(Open, Close) by a random part of vol.
// - Prices are rounded to the instrument's decimals; High >= max(Open, Close) and
//   Low <= min(Open, Close) always hold.
// - Levels are classic floor pivots of the row's own High, Low, Close:
//   P = (H + L + C) / 3, R1 = 2P - L, S1 = 2P - H, R2 = P + (H - L), S2 = P - (H - L),
//   R3 = H + 2(P - L), S3 = L - 2(H - P), each rounded to the instrument's decimals.
// - RangeHigh / RangeLow: highest High / lowest Low of the last 10 days, the row's day included.
// - Trend k (k = 1..6) compares the close with its simple moving average over 5, 10, 20, 50,
//   100 and 200 days: UP above, DOWN below, FLAT within a tenth of the average daily range
//   (High - Low over the last 10 days). A warm-up of 200 days before the first row fills them.
namespace zyn::sample {

namespace {

constexpr int kWarmUp = 200;
constexpr int kTrendLength[6] = {5, 10, 20, 50, 100, 200};
constexpr int kRangeDays = 10;

std::uint64_t NameHash(std::string_view name) {
    std::uint64_t h = 1469598103934665603ull;
    for (char c : name) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    double Uniform() { return static_cast<double>(engine_() >> 11) * (1.0 / 9007199254740992.0); }
    double Normal() {
        double sum = 0;
        for (int i = 0; i < 12; ++i) sum += Uniform();
        return sum - 6.0;
    }

private:
    std::mt19937_64 engine_;
};

long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Date CivilFromDays(long z) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return Date{static_cast<int>(y), m, d};
}

bool IsWeekday(long z) {
    const long wd = ((z % 7) + 7 + 4) % 7;  // 1970-01-01 was a Thursday; 0 = Sunday
    return wd != 0 && wd != 6;
}

std::int64_t ToTicks(double v) { return static_cast<std::int64_t>(std::floor(v + 0.5)); }

void AppendDate(std::string& s, const Date& d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    s += buf;
}

const char* TrendText(int t) { return t > 0 ? "UP" : (t < 0 ? "DOWN" : "FLAT"); }

}  // namespace

const std::vector<Instrument>& Instruments() {
    static const std::vector<Instrument> list = {
        {"AUDJPY", 92.0, 106.0, 2, 0.0060},     {"AUDUSD", 0.6300, 0.7000, 4, 0.0055},
        {"GBPJPY", 182.0, 202.0, 2, 0.0060},    {"GBPCHF", 1.0800, 1.1600, 4, 0.0045},
        {"GBPUSD", 1.2200, 1.3400, 4, 0.0045},  {"EURGBP", 0.8300, 0.8800, 4, 0.0035},
        {"EURJPY", 155.0, 172.0, 2, 0.0055},    {"EURUSD", 1.0500, 1.2000, 4, 0.0045},
        {"USDCHF", 0.8000, 0.9200, 4, 0.0045},  {"USDJPY", 140.0, 160.0, 2, 0.0055},
        {"CAC40", 7000.0, 8200.0, 2, 0.0095},   {"DAX", 15000.0, 20000.0, 2, 0.0095},
        {"ESX50", 4400.0, 5200.0, 2, 0.0095},   {"SMI", 11000.0, 12600.0, 2, 0.0080},
        {"FTSE100", 7500.0, 8500.0, 2, 0.0080}, {"NDX100", 17000.0, 21000.0, 2, 0.0120},
        {"DJIA", 37000.0, 44000.0, 2, 0.0090},  {"SPX500", 4800.0, 5900.0, 2, 0.0095},
        {"N225", 33000.0, 40000.0, 2, 0.0120},  {"HANGSENG", 16000.0, 21000.0, 2, 0.0130},
    };
    return list;
}

const Instrument* FindInstrument(std::string_view name) {
    for (const Instrument& i : Instruments()) {
        if (name == i.name) return &i;
    }
    return nullptr;
}

std::string FormatTicks(std::int64_t ticks, int decimals) {
    std::string s;
    if (ticks < 0) {
        s += '-';
        ticks = -ticks;
    }
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    s += std::to_string(ticks / scale);
    std::int64_t frac = ticks % scale;
    if (frac != 0) {
        std::string digits(static_cast<std::size_t>(decimals), '0');
        for (int i = decimals - 1; i >= 0; --i) {
            digits[static_cast<std::size_t>(i)] = static_cast<char>('0' + frac % 10);
            frac /= 10;
        }
        while (!digits.empty() && digits.back() == '0') digits.pop_back();
        s += '.';
        s += digits;
    }
    return s;
}

std::vector<Row> GenerateRows(const Instrument& instrument, const Options& options) {
    const int total = std::max(options.rows, 0) + kWarmUp;
    // Weekdays ending at lastDay, oldest first.
    std::vector<long> days;
    days.reserve(static_cast<std::size_t>(total));
    for (long z = DaysFromCivil(options.lastDay.year, options.lastDay.month, options.lastDay.day);
         static_cast<int>(days.size()) < total; --z) {
        if (IsWeekday(z)) days.push_back(z);
    }
    std::reverse(days.begin(), days.end());

    double scale = 1;
    for (int i = 0; i < instrument.decimals; ++i) scale *= 10;
    const double mid = (instrument.low + instrument.high) * 0.5;
    const double vol = instrument.dailyVol;
    Random rnd(options.seed ^ NameHash(instrument.name));

    std::vector<Row> chrono(static_cast<std::size_t>(total));
    // Running sums of the closes for the moving averages; closes are whole ticks, so the sums
    // are exact.
    std::vector<double> closeSums(static_cast<std::size_t>(total) + 1, 0.0);
    double prevClose = mid * (1.0 + 0.04 * rnd.Normal() * vol / 0.01);
    for (int t = 0; t < total; ++t) {
        Row& r = chrono[static_cast<std::size_t>(t)];
        r.date = CivilFromDays(days[static_cast<std::size_t>(t)]);
        const double open = prevClose * (1.0 + 0.2 * vol * rnd.Normal());
        const double close = open * (1.0 + 0.02 * (mid - open) / open + vol * rnd.Normal());
        const double high = std::max(open, close) * (1.0 + 0.6 * vol * std::fabs(rnd.Normal()));
        const double low = std::min(open, close) * (1.0 - 0.6 * vol * std::fabs(rnd.Normal()));
        r.open = std::max<std::int64_t>(ToTicks(open * scale), 1);
        r.close = std::max<std::int64_t>(ToTicks(close * scale), 1);
        r.high = std::max({ToTicks(high * scale), r.open, r.close});
        r.low = std::max<std::int64_t>(std::min({ToTicks(low * scale), r.open, r.close}), 1);
        prevClose = static_cast<double>(r.close) / scale;
        closeSums[static_cast<std::size_t>(t) + 1] = closeSums[static_cast<std::size_t>(t)] + static_cast<double>(r.close);

        const double H = static_cast<double>(r.high), L = static_cast<double>(r.low), C = static_cast<double>(r.close);
        const double P = (H + L + C) / 3.0;
        r.pivot = ToTicks(P);
        r.r1 = ToTicks(2 * P - L);
        r.s1 = ToTicks(2 * P - H);
        r.r2 = ToTicks(P + (H - L));
        r.s2 = ToTicks(P - (H - L));
        r.r3 = ToTicks(H + 2 * (P - L));
        r.s3 = ToTicks(L - 2 * (H - P));

        const int from = std::max(0, t - kRangeDays + 1);
        r.rangeHigh = r.high;
        r.rangeLow = r.low;
        double spanSum = 0;
        for (int k = from; k <= t; ++k) {
            const Row& o = chrono[static_cast<std::size_t>(k)];
            r.rangeHigh = std::max(r.rangeHigh, o.high);
            r.rangeLow = std::min(r.rangeLow, o.low);
            spanSum += static_cast<double>(o.high - o.low);
        }
        const double band = 0.1 * spanSum / (t - from + 1);
        for (int k = 0; k < 6; ++k) {
            const int n = std::min(kTrendLength[k], t + 1);
            const double sum = closeSums[static_cast<std::size_t>(t) + 1] - closeSums[static_cast<std::size_t>(t - n + 1)];
            const double diff = C - sum / n;
            r.trend[k] = diff > band ? 1 : (diff < -band ? -1 : 0);
        }
    }
    std::vector<Row> rows(chrono.rbegin(), chrono.rbegin() + (total - kWarmUp));
    return rows;
}

void WriteDataFile(std::FILE* out, const Instrument& instrument, const std::vector<Row>& rows, const Options& options) {
    const std::string name = instrument.name;
    const int dec = instrument.decimals;
    const std::string boundary = "----=_ZynPart_01DA4C2E.5B7F3A10";
    std::string s;
    s.reserve(1 << 20);
    auto flush = [&](bool force) {
        if (force || s.size() > (1u << 20)) {
            std::fwrite(s.data(), 1, s.size(), out);
            s.clear();
        }
    };
    auto line = [&](std::string_view text) {
        s += text;
        s += "\r\n";
    };
    auto cell = [&](std::string_view kind, const std::string& value) {
        s += "     <x:";
        s += kind;
        s += '>';
        s += value;
        s += "</x:";
        s += kind;
        s += ">\r\n";
    };

    line("MIME-Version: 1.0");
    line("Content-Type: multipart/related; boundary=\"" + boundary + "\"");
    line("");
    line("This is a multi-part message in MIME format. It holds the workbook " + name + " as one web page.");
    line("");
    line("--" + boundary);
    line("Content-Location: file:///C:/ZYN/Kurse/" + name + ".htm");
    line("Content-Transfer-Encoding: 8bit");
    line("Content-Type: text/html; charset=\"windows-1252\"");
    line("");
    line("<html xmlns:x=\"urn:zyn:workbook\"");
    line("xmlns=\"http://www.w3.org/TR/REC-html40\">");
    line("");
    line("<head>");
    line("<meta http-equiv=Content-Type content=\"text/html; charset=windows-1252\">");
    line("<meta name=Generator content=\"zyn-gen-data\">");
    line("<title>" + name + "</title>");
    line("<style>");
    line("<!--td");
    line("\t{padding:1px;");
    line("\tfont-size:10.0pt;");
    line("\tfont-family:Arial, sans-serif;");
    line("\twhite-space:nowrap;}");
    line("-->");
    line("</style>");
    line("<xml>");
    line(" <x:Workbook>");
    line("  <x:SupBook>");
    line("   <x:Path>C:\\ZYN\\Berechnung\\" + name + "_Pivots.wbk</x:Path>");
    line("   <x:SheetName>" + name + "</x:SheetName>");
    line("   <x:Xct>");
    line("    <x:Count>" + std::to_string(rows.size() * 20) + "</x:Count>");
    line("    <x:SheetIndex>0</x:SheetIndex>");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        s += "    <x:Crn>\r\n";
        line("     <x:Row>" + std::to_string(i + 1) + "</x:Row>");
        line("     <x:ColFirst>0</x:ColFirst>");
        line("     <x:ColLast>19</x:ColLast>");
        std::string date;
        AppendDate(date, r.date);
        cell("Text", date);
        cell("Number", FormatTicks(r.open, dec));
        cell("Number", FormatTicks(r.high, dec));
        cell("Number", FormatTicks(r.low, dec));
        cell("Number", FormatTicks(r.close, dec));
        for (int k = 0; k < 6; ++k) cell("Text", TrendText(r.trend[k]));
        cell("Number", FormatTicks(r.rangeHigh, dec));
        cell("Number", FormatTicks(r.rangeLow, dec));
        cell("Number", FormatTicks(r.pivot, dec));
        cell("Number", FormatTicks(r.r1, dec));
        cell("Number", FormatTicks(r.r2, dec));
        cell("Number", FormatTicks(r.r3, dec));
        cell("Number", FormatTicks(r.s1, dec));
        cell("Number", FormatTicks(r.s2, dec));
        cell("Number", FormatTicks(r.s3, dec));
        s += "    </x:Crn>\r\n";
        flush(false);
    }
    line("   </x:Xct>");
    line("  </x:SupBook>");
    line(" </x:Workbook>");
    line("</xml>");
    line("</head>");
    line("");
    line("<body link=blue vlink=purple>");
    if (options.htmlTable) {
        line("<table border=0 cellpadding=0 cellspacing=0 style='border-collapse:collapse'>");
        line(" <tr><td>Datum</td><td>Open</td><td>High</td><td>Low</td><td>Close</td>"
             "<td>T1</td><td>T2</td><td>T3</td><td>T4</td><td>T5</td><td>T6</td>"
             "<td>RangeHigh</td><td>RangeLow</td><td>Pivot</td><td>R1</td><td>R2</td><td>R3</td>"
             "<td>S1</td><td>S2</td><td>S3</td></tr>");
        for (const Row& r : rows) {
            s += " <tr><td>";
            AppendDate(s, r.date);
            s += "</td>";
            auto td = [&](const std::string& v) {
                s += "<td align=right>";
                s += v;
                s += "</td>";
            };
            td(FormatTicks(r.open, dec));
            td(FormatTicks(r.high, dec));
            td(FormatTicks(r.low, dec));
            td(FormatTicks(r.close, dec));
            for (int k = 0; k < 6; ++k) td(TrendText(r.trend[k]));
            for (std::int64_t v : {r.rangeHigh, r.rangeLow, r.pivot, r.r1, r.r2, r.r3, r.s1, r.s2, r.s3}) td(FormatTicks(v, dec));
            s += "</tr>\r\n";
            flush(false);
        }
        line("</table>");
    }
    line("</body>");
    line("");
    line("</html>");
    line("");
    line("--" + boundary);
    line("Content-Location: file:///C:/ZYN/Kurse/" + name + "-Dateien/blatt.css");
    line("Content-Transfer-Encoding: 8bit");
    line("Content-Type: text/css; charset=\"windows-1252\"");
    line("");
    line("td {text-align:right;}");
    line("");
    line("--" + boundary + "--");
    flush(true);
}

bool WriteSampleFile(const std::string& path, const Instrument& instrument, const Options& options) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    WriteDataFile(f, instrument, GenerateRows(instrument, options), options);
    const bool ok = std::ferror(f) == 0;
    const int saved = errno;
    if (std::fclose(f) != 0 || !ok) {
        if (!ok) errno = saved;
        return false;
    }
    return true;
}

}  // namespace zyn::sample
