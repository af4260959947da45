// Load throughput of a large data file against a floor measured in the same run on the same
// bytes: reading the file through the same buffer size and splitting it into lines with memchr.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "data/DataFile.h"
#include "tools/SampleData.h"

namespace {

constexpr int kRows = 200000;
std::string gPath;
std::size_t gFileSize = 0;
double gBytesPerRecord = 0;

// The floor: the file read through a buffer of the reader's size and cut into lines with memchr.
std::size_t SplitLines(std::vector<char>& buf) {
    const int fd = ::open(gPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    std::size_t lines = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n <= 0) break;
        const char* p = buf.data();
        const char* const end = p + n;
        while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr) {
            ++lines;
            ++p;
        }
    }
    ::close(fd);
    return lines;
}

double ThreadSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A load into a list that has held a file before, as when the user picks another instrument:
// the list's storage is reused.
void BM_Load(benchmark::State& state) {
    zyn::RecordList records;
    zyn::ReadDataFile(gPath, records);
    for (auto _ : state) {
        zyn::ReadDataFile(gPath, records);
        benchmark::DoNotOptimize(records.data());
    }
    if (records.size() != static_cast<std::size_t>(kRows)) state.SkipWithError("wrong record count");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gFileSize));
    state.counters["records"] = static_cast<double>(records.size());
}

// The first load: the list grows from empty.
void BM_LoadIntoEmptyList(benchmark::State& state) {
    std::size_t size = 0, capacity = 0;
    for (auto _ : state) {
        zyn::RecordList records;
        zyn::ReadDataFile(gPath, records);
        benchmark::DoNotOptimize(records.data());
        size = records.size();
        capacity = records.capacity();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gFileSize));
    gBytesPerRecord = size == 0 ? 0.0 : static_cast<double>(capacity * sizeof(zyn::DailyRecord)) / static_cast<double>(size);
    state.counters["bytes_per_record"] = gBytesPerRecord;
}

void BM_FloorLineSplit(benchmark::State& state) {
    std::vector<char> buf(zyn::DataFile::kDefaultBufferSize);
    std::size_t lines = 0;
    for (auto _ : state) {
        lines = SplitLines(buf);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gFileSize));
    state.counters["lines"] = static_cast<double>(lines);
}

// Load and floor in turns, each timed on the thread's CPU clock, so that both see the same
// machine load; the summary's ratio comes from here.
void BM_LoadVsFloor(benchmark::State& state) {
    std::vector<char> buf(zyn::DataFile::kDefaultBufferSize);
    zyn::RecordList records;
    zyn::ReadDataFile(gPath, records);
    double floorSeconds = 0, loadSeconds = 0;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        benchmark::DoNotOptimize(SplitLines(buf));
        const double t1 = ThreadSeconds();
        zyn::ReadDataFile(gPath, records);
        benchmark::DoNotOptimize(records.data());
        const double t2 = ThreadSeconds();
        floorSeconds += t1 - t0;
        loadSeconds += t2 - t1;
    }
    const double bytes = static_cast<double>(state.iterations()) * static_cast<double>(gFileSize);
    state.counters["load_MBps"] = bytes / loadSeconds / 1e6;
    state.counters["floor_MBps"] = bytes / floorSeconds / 1e6;
    state.counters["ratio"] = floorSeconds / loadSeconds;
}

// Medians of several repetitions keep the figures steady on a busy machine.
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(3)->DisplayAggregatesOnly(true);
BENCHMARK(BM_LoadIntoEmptyList)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(3)->DisplayAggregatesOnly(true);
BENCHMARK(BM_FloorLineSplit)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(3)->DisplayAggregatesOnly(true);
BENCHMARK(BM_LoadVsFloor)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(5)->DisplayAggregatesOnly(true);

// Keeps each benchmark's median figures for the summary line.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            auto& figures = medians[run.run_name.function_name];
            for (const auto& [name, counter] : run.counters) figures[name] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, std::map<std::string, double>> medians;
};

}  // namespace

int main(int argc, char** argv) {
    char dirTemplate[] = "/tmp/zyn-bench-XXXXXX";
    const char* dir = ::mkdtemp(dirTemplate);
    if (dir == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    gPath = std::string(dir) + "/DAX.mht";
    zyn::sample::Options options;
    options.rows = kRows;
    options.htmlTable = false;  // the reader stops at the block's end; both sides then see the same bytes
    if (!zyn::sample::WriteSampleFile(gPath, *zyn::sample::FindInstrument("DAX"), options)) {
        std::perror("write sample");
        return 1;
    }
    struct stat st {};
    ::stat(gPath.c_str(), &st);
    gFileSize = static_cast<std::size_t>(st.st_size);
    std::cout << "data file: " << kRows << " rows, " << std::fixed << std::setprecision(1)
              << static_cast<double>(gFileSize) / 1e6 << " MB, read buffer " << zyn::DataFile::kDefaultBufferSize / 1024
              << " KiB" << std::endl;

    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto& m = reporter.medians;
    if (m.count("BM_LoadVsFloor") != 0) {
        auto& turns = m["BM_LoadVsFloor"];
        std::cout << std::fixed << std::setprecision(0) << "summary: load " << turns["load_MBps"] << " MB/s, floor "
                  << turns["floor_MBps"] << " MB/s, load/floor " << std::setprecision(3) << turns["ratio"]
                  << " (goal >= 0.25)";
        if (m.count("BM_LoadIntoEmptyList") != 0 && m.count("BM_FloorLineSplit") != 0) {
            const double fresh = m["BM_LoadIntoEmptyList"]["bytes_per_second"];
            const double floor = m["BM_FloorLineSplit"]["bytes_per_second"];
            std::cout << "; into an empty list " << std::setprecision(0) << fresh / 1e6 << " MB/s, "
                      << std::setprecision(3) << fresh / floor << " of the floor";
        }
        std::cout << "; memory per record " << std::setprecision(1) << gBytesPerRecord << " bytes (sizeof "
                  << sizeof(zyn::DailyRecord) << ", the rest is the list's spare capacity)" << std::endl;
    }
    std::remove(gPath.c_str());
    ::rmdir(dir);
    return 0;
}
