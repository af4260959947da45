// Load throughput of a large data file against a floor measured in the same run on the same
// bytes: reading the file through the same buffer size and splitting it into lines with memchr.
// After the benchmarks, the same comparison on a 300 MB file without line ends (one endless text
// cell), and the peak memory of each load beyond what it started with.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
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
std::size_t SplitLines(std::vector<char>& buf, const std::string& path = gPath) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
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

// --- The file without line ends, measured by hand after the benchmarks ----------------------

constexpr std::size_t kEndlessBytes = 300'000'000;

// A block start, then one text cell that runs to the end of the file: the reader keeps the
// most text for it. The filler holds no '<' and no line end, but the bytes the scan looks at.
bool WriteEndlessFile(const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string head = "  <x:SupBook>\r\n     <x:Text>";
    out << head;
    std::string chunk;
    while (chunk.size() < (1u << 20)) chunk += "2007-02-15 Number>6950,5 SupBoo> UP DOWN ";
    for (std::size_t written = head.size(); written < kEndlessBytes;) {
        const std::size_t n = std::min(chunk.size(), kEndlessBytes - written);
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        written += n;
    }
    return static_cast<bool>(out.flush());
}

// Peak resident memory since the last reset, from the kernel's counters.
long StatusKiB(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string name;
    long value = -1;
    while (in >> name) {
        if (name == key) {
            in >> value;
            return value;
        }
        in.ignore(1 << 12, '\n');
    }
    return -1;
}

bool ResetPeak() {
    std::ofstream f("/proc/self/clear_refs");
    f << "5";
    f.flush();
    return static_cast<bool>(f);
}

struct Figures {
    double mbps = 0;
    double peakMiB = -1;  // above the resident memory at the start; -1: not measurable here
};

// Median rate of `runs` timed runs of work over `bytes`; the peak is taken over a run of its own.
template <class Work>
Figures Measure(Work&& work, double bytes, int runs) {
    Figures f;
    if (ResetPeak()) {
        const long before = StatusKiB("VmRSS:");
        work();
        const long peak = StatusKiB("VmHWM:");
        if (before >= 0 && peak >= 0) f.peakMiB = static_cast<double>(peak - before) / 1024.0;
    }
    std::vector<double> rates;
    for (int i = 0; i < runs; ++i) {
        const double t0 = ThreadSeconds();
        work();
        rates.push_back(bytes / (ThreadSeconds() - t0) / 1e6);
    }
    std::sort(rates.begin(), rates.end());
    f.mbps = rates[rates.size() / 2];
    return f;
}

// What a load of path yields: the record count and the message it ends in, if any.
std::string LoadOutcome(const std::string& path, zyn::RecordList& records) {
    try {
        zyn::ReadDataFile(path, records);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

void PrintFigures(const char* what, const Figures& load, const Figures& floor) {
    std::cout << std::fixed << std::setprecision(0) << what << ": load " << load.mbps << " MB/s, floor " << floor.mbps
              << " MB/s, load/floor " << std::setprecision(3) << load.mbps / floor.mbps << "; peak memory ";
    if (load.peakMiB < 0 || floor.peakMiB < 0) {
        std::cout << "not measurable here" << std::endl;
        return;
    }
    std::cout << std::setprecision(1) << load.peakMiB << " MiB, floor " << floor.peakMiB << " MiB" << std::endl;
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
    // Peak memory of the 200,000-row load into a fresh list (the list itself included), and of
    // the floor, against the resident memory each started with.
    std::vector<char> buf(zyn::DataFile::kDefaultBufferSize);
    {
        const Figures load = Measure(
            [] {
                zyn::RecordList records;
                zyn::ReadDataFile(gPath, records);
                benchmark::DoNotOptimize(records.data());
            },
            static_cast<double>(gFileSize), 5);
        const Figures floor = Measure([&] { benchmark::DoNotOptimize(SplitLines(buf)); }, static_cast<double>(gFileSize), 5);
        PrintFigures("200,000 rows, fresh list", load, floor);
        std::cout << "  the record list alone: " << std::setprecision(1)
                  << static_cast<double>(kRows * sizeof(zyn::DailyRecord)) / (1024.0 * 1024.0) << " MiB" << std::endl;
    }
    std::remove(gPath.c_str());

    const std::string endless = std::string(dir) + "/Endless.mht";
    if (!WriteEndlessFile(endless)) {
        std::perror("write endless file");
        std::remove(endless.c_str());
        ::rmdir(dir);
        return 1;
    }
    zyn::RecordList records;
    const std::string message = LoadOutcome(endless, records);
    std::cout << "file without line ends: " << kEndlessBytes / 1000000 << " MB, " << records.size() << " records, message "
              << message.size() << " bytes" << std::endl;
    const Figures load = Measure(
        [&] {
            zyn::RecordList r;
            benchmark::DoNotOptimize(LoadOutcome(endless, r));
        },
        static_cast<double>(kEndlessBytes), 3);
    const Figures floor = Measure([&] { benchmark::DoNotOptimize(SplitLines(buf, endless)); },
                                  static_cast<double>(kEndlessBytes), 3);
    PrintFigures("300 MB without line ends", load, floor);
    std::cout << "  bound: a 64 KiB read buffer plus at most " << zyn::DataFile::kMaxTextBytes / (1024 * 1024)
              << " MiB of kept text" << std::endl;
    std::remove(endless.c_str());
    ::rmdir(dir);
    return 0;
}
