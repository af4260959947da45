#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Deterministic sample data for the twenty instruments, written in the data file layout.
namespace zyn::sample {

struct Instrument {
    const char* name;
    double low;       // the walk is pulled toward the middle of [low, high]
    double high;
    int decimals;     // digits after the decimal point of every price and level
    double dailyVol;  // typical relative move of one day
};

// The twenty instruments in tree order.
const std::vector<Instrument>& Instruments();
const Instrument* FindInstrument(std::string_view name);

struct Date {
    int year = 2026;
    int month = 12;
    int day = 4;
};

struct Options {
    int rows = 260;           // weekdays written, ending at lastDay
    Date lastDay{};           // the newest row (must be a weekday for the count to end there)
    std::uint64_t seed = 20261204;
    bool htmlTable = true;    // the sheet's HTML table after the reference block
};

// One row; prices are integer ticks of 10^-decimals so that the written text is exact.
struct Row {
    Date date;
    std::int64_t open, high, low, close;
    std::int64_t rangeHigh, rangeLow;
    std::int64_t pivot, r1, r2, r3, s1, s2, s3;
    int trend[6];  // +1 UP, -1 DOWN, 0 FLAT
};

// Rows newest first.
std::vector<Row> GenerateRows(const Instrument& instrument, const Options& options);

// Writes a whole data file (MIME archive, CR LF line ends) for the rows.
void WriteDataFile(std::FILE* out, const Instrument& instrument, const std::vector<Row>& rows, const Options& options);

// Generates and writes path; false with errno set when the file cannot be written.
bool WriteSampleFile(const std::string& path, const Instrument& instrument, const Options& options);

// "1234.5" for 123450 ticks at two decimals: fixed decimals, trailing zeros dropped.
std::string FormatTicks(std::int64_t ticks, int decimals);

}  // namespace zyn::sample
