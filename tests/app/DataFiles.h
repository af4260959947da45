#pragma once
// Small data files in the layout the viewer reads, written by the tests themselves.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/DailyRecord.h"

namespace zyn::test {

// One row: date, open, high, low, close, six trends, range high/low, pivot, R1-R3, S1-S3.
// Base is added to every price but the close, to tell the price ranges of two files apart.
struct TRow {
    std::string Date = "2024-01-02";
    std::string Close = "1.5";
    std::string Trend = "UP";
    int Base = 0;
};

inline std::string RowLines(const TRow& row) {
    auto text = [](const std::string& v) { return "<x:Text>" + v + "</x:Text>\r\n"; };
    auto number = [](const std::string& v) { return "<x:Number>" + v + "</x:Number>\r\n"; };
    auto price = [&](int whole, const std::string& fraction) {
        return number(std::to_string(row.Base + whole) + fraction);
    };
    std::string s = "<x:Crn>\r\n<x:Row>1</x:Row>\r\n";
    s += text(row.Date);
    s += price(1, ".25") + price(2, ".5") + price(1, "") + number(row.Close);
    for (int i = 0; i < 6; ++i) s += text(row.Trend);
    for (int i = 0; i < 9; ++i) s += price(10 + i, ".5");
    s += "</x:Crn>\r\n";
    return s;
}

inline void WriteDataFile(const std::filesystem::path& path, const std::vector<TRow>& rows,
                          const std::string& tail = {}) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "MIME-Version: 1.0\r\n\r\n<html><body>Tabelle</body></html>\r\n";
    out << "<xml>\r\n<x:ExcelWorkbook>\r\n<x:SupBook>\r\n<x:Path>quelle.xls</x:Path>\r\n";
    for (const TRow& row : rows) out << RowLines(row);
    out << tail;
    out << "</x:SupBook>\r\n<x:SupBook>\r\n" << RowLines(TRow{"2030-01-01", "99", "UP"})
        << "</x:SupBook>\r\n</x:ExcelWorkbook>\r\n</xml>\r\n";
}

// Rows whose closes are 1, 2, ... n, so a list read from them is easy to tell apart.
inline std::vector<TRow> Rows(int count, int firstClose = 1, int base = 0) {
    std::vector<TRow> rows;
    for (int i = 0; i < count; ++i) {
        rows.push_back(TRow{"2024-01-" + std::string(i + 2 < 10 ? "0" : "") + std::to_string(i + 2),
                            std::to_string(firstClose + i), "UP", base});
    }
    return rows;
}

// A fresh folder of the test's own under the temporary directory.
inline std::filesystem::path MakeTempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zyn-app-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return std::filesystem::canonical(pattern);
}

// A fresh folder holding Data/Temp, the working directory while it lives; the earlier working
// directory comes back and the folder goes with it.
class TDataRoot {
public:
    TDataRoot() : previous_(std::filesystem::current_path()), root_(MakeTempDirectory()) {
        std::filesystem::create_directories(root_ / "Data" / "Temp");
        std::filesystem::current_path(root_);
    }
    ~TDataRoot() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(root_, ignored);
    }
    TDataRoot(const TDataRoot&) = delete;
    TDataRoot& operator=(const TDataRoot&) = delete;

    const std::filesystem::path& Path() const { return root_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path root_;
};

// A record of one day whose every level is derived from base, so each is recognisable.
inline DailyRecord Day(int dayOfMonth, double base, int trend6 = 1, int trendSum = 3) {
    DailyRecord r;
    r.Date = 45292 + dayOfMonth - 1;  // 01.01.2024 + n
    r.Open = base;
    r.High = base + 2;
    r.Low = base - 2;
    r.Close = base + 1;
    r.Midpoint = base;
    r.RangeHigh = base + 10;
    r.RangeLow = base - 10;
    r.Pivot = base + 0.5;
    r.R1 = base + 1.5;
    r.R2 = base + 2.5;
    r.R3 = base + 3.5;
    r.S1 = base - 1.5;
    r.S2 = base - 2.5;
    r.S3 = base - 3.5;
    r.Trend6 = trend6;
    r.TrendSum = trendSum;
    return r;
}

}  // namespace zyn::test
