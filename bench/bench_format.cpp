// Axis label texts against a baseline measured in the same run: the C library's fixed-point
// printing of the same values into a std::string (which neither rounds on the decimal expansion
// nor knows the patterns). Every paint formats tens of such labels per axis.
#include <benchmark/benchmark.h>

#include "BenchSummary.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "chart/Format.h"

namespace {

// Values as the axis produces them: a maximum stepped down by the label step, with drift.
std::vector<double> LabelValues() {
    std::vector<double> values;
    double v = 1.3987;
    for (int i = 0; i < 40; ++i, v -= 0.005) values.push_back(v);
    double w = 16543.21;
    for (int i = 0; i < 40; ++i, w -= 50) values.push_back(w);
    return values;
}

const std::vector<double> gValues = LabelValues();

zyn::chart::TFormatSettings Settings() {
    zyn::chart::TFormatSettings fs;
    fs.DecimalSeparator = ",";
    fs.ThousandSeparator = ".";
    return fs;
}

void BM_FormatFloat(benchmark::State& state, const char* pattern) {
    const zyn::chart::TFormatSettings fs = Settings();
    std::size_t chars = 0;
    for (auto _ : state) {
        for (double v : gValues) {
            std::string text = zyn::chart::FormatFloat(pattern, v, fs);
            chars += text.size();
            benchmark::DoNotOptimize(text.data());
        }
    }
    benchmark::DoNotOptimize(chars);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * gValues.size()));
}

void BM_BaselineSnprintf(benchmark::State& state) {
    std::size_t chars = 0;
    for (auto _ : state) {
        for (double v : gValues) {
            char buf[64];
            const int n = std::snprintf(buf, sizeof buf, "%.4f", v);
            std::string text(buf, static_cast<std::size_t>(n));
            chars += text.size();
            benchmark::DoNotOptimize(text.data());
        }
    }
    benchmark::DoNotOptimize(chars);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * gValues.size()));
}

void BM_FormatDateTime(benchmark::State& state) {
    const zyn::chart::TFormatSettings fs = Settings();
    for (auto _ : state) {
        for (double v : gValues) {
            std::string text = zyn::chart::FormatDateTime("dd.MM.yyyy", 40000 + v, fs);
            benchmark::DoNotOptimize(text.data());
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * gValues.size()));
}

BENCHMARK(BM_BaselineSnprintf);
BENCHMARK_CAPTURE(BM_FormatFloat, currency, "0.###0");
BENCHMARK_CAPTURE(BM_FormatFloat, index, "0.#0");
BENCHMARK_CAPTURE(BM_FormatFloat, default, "#,##0.###");
BENCHMARK(BM_FormatDateTime);


}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    zyn::bench::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double base = reporter.ItemsPerSecond["BM_BaselineSnprintf"];
    if (base > 0) {
        std::printf("summary: baseline snprintf %.0f ns/label", 1e9 / base);
        for (const auto& [name, rate] : reporter.ItemsPerSecond) {
            if (name == "BM_BaselineSnprintf" || rate <= 0) continue;
            std::printf("; %s %.0f ns/label (%.2fx baseline time)", name.c_str(), 1e9 / rate, base / rate);
        }
        std::printf("\n");
    }
    return 0;
}
