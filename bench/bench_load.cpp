// Load throughput of a large data file against a floor measured in the same run on the same
// bytes: reading the file through the same buffer size and splitting it into lines with memchr.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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
        const int fd = ::open(gPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            state.SkipWithError("open failed");
            return;
        }
        lines = 0;
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
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gFileSize));
    state.counters["lines"] = static_cast<double>(lines);
}

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadIntoEmptyList)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FloorLineSplit)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keeps each run's throughput for the summary line.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) bytesPerSecond[run.run_name.function_name] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> bytesPerSecond;
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

    const double load = reporter.bytesPerSecond["BM_Load"];
    const double fresh = reporter.bytesPerSecond["BM_LoadIntoEmptyList"];
    const double floor = reporter.bytesPerSecond["BM_FloorLineSplit"];
    if (load > 0 && floor > 0) {
        std::cout << std::fixed << std::setprecision(0) << "summary: load " << load / 1e6 << " MB/s (into an empty list "
                  << fresh / 1e6 << " MB/s), floor " << floor / 1e6 << " MB/s, load/floor " << std::setprecision(3)
                  << load / floor << " (empty list " << fresh / floor << "; goal >= 0.25); memory per record "
                  << std::setprecision(1) << gBytesPerRecord << " bytes (sizeof " << sizeof(zyn::DailyRecord)
                  << ", the rest is the list's spare capacity)" << std::endl;
    }
    std::remove(gPath.c_str());
    ::rmdir(dir);
    return 0;
}
