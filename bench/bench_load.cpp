// Load throughput of a large data file against a floor measured in the same run on the same
// bytes: reading the file through the same buffer size and splitting it into lines with memchr.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

void BM_Load(benchmark::State& state) {
    zyn::RecordList records;
    for (auto _ : state) {
        zyn::ReadDataFile(gPath, records);
        benchmark::DoNotOptimize(records.data());
    }
    if (records.size() != static_cast<std::size_t>(kRows)) state.SkipWithError("wrong record count");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gFileSize));
    gBytesPerRecord = records.empty() ? 0.0 : static_cast<double>(records.capacity() * sizeof(zyn::DailyRecord)) / records.size();
    state.counters["records"] = static_cast<double>(records.size());
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

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorLineSplit)->Unit(benchmark::kMillisecond);

// Keeps each run's throughput for the summary line.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) bytesPerSecond[run.benchmark_name()] = it->second.value;
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
    std::printf("data file: %d rows, %.1f MB, buffer %zu KiB\n", kRows, static_cast<double>(gFileSize) / 1e6,
                zyn::DataFile::kDefaultBufferSize / 1024);

    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double load = reporter.bytesPerSecond["BM_Load"];
    const double floor = reporter.bytesPerSecond["BM_FloorLineSplit"];
    if (load > 0 && floor > 0) {
        std::printf("summary: load %.0f MB/s, floor %.0f MB/s, load/floor %.3f (goal >= 0.25); "
                    "memory per record %.1f bytes (sizeof %zu)\n",
                    load / 1e6, floor / 1e6, load / floor, gBytesPerRecord, sizeof(zyn::DailyRecord));
    }
    std::remove(gPath.c_str());
    ::rmdir(dir);
    return 0;
}
