// zyn-render records: the viewer's load as text, run as a separate program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "data/DataFile.h"

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "zyn-render-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    Result Run(const std::vector<std::string>& args) {
        const std::string binary = std::string(ZYN_BINARY_DIR) + "/tools/zyn-render";
        const std::string outPath = dir_ + "/out", errPath = dir_ + "/err";
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(out, 1);
            ::dup2(err, 2);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(binary.c_str()));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::alarm(60);  // survives the exec: a run that hangs ends as a failure, not a stuck test
            ::execv(binary.c_str(), argv.data());
            ::_exit(127);
        }
        Result r;
        int status = 0;
        if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.status = WEXITSTATUS(status);
        r.out = Slurp(outPath);
        r.err = Slurp(errPath);
        return r;
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string p = dir_ + "/" + name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

    std::string dir_;
};

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t p; (p = s.find(sep, start)) != std::string::npos; start = p + 1) parts.push_back(s.substr(start, p - start));
    parts.push_back(s.substr(start));
    return parts;
}

double ToDouble(const std::string& s) {
    double v = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    EXPECT_TRUE(res.ec == std::errc() && res.ptr == s.data() + s.size()) << s;
    return v;
}

TEST_F(RenderTest, PrintsEveryRecordOfASample) {
    const std::string path = std::string(ZYN_SOURCE_DIR) + "/Data/DAX.mht";
    const Result r = Run({"records", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    zyn::RecordList records;
    zyn::ReadDataFile(path, records);
    ASSERT_FALSE(r.out.empty());
    ASSERT_EQ(r.out.back(), '\n');
    const std::vector<std::string> lines = Split(r.out.substr(0, r.out.size() - 1), '\n');
    ASSERT_EQ(lines.size(), records.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> f = Split(lines[i], ';');
        ASSERT_EQ(f.size(), 22u) << lines[i];
        const zyn::DailyRecord& rec = records[i];
        const double reals[15] = {rec.Date, rec.Open, rec.High, rec.Low, rec.Close, rec.Midpoint, rec.RangeHigh, rec.RangeLow,
                                  rec.Pivot, rec.R1, rec.R2, rec.R3, rec.S1, rec.S2, rec.S3};
        for (int k = 0; k < 15; ++k) {
            EXPECT_EQ(ToDouble(f[static_cast<std::size_t>(k)]), reals[k]) << "line " << i << " field " << k;  // reads back exactly
            EXPECT_EQ(f[static_cast<std::size_t>(k)].find_first_of(",eE"), std::string::npos);
        }
        const int ints[7] = {rec.Trend1, rec.Trend2, rec.Trend3, rec.Trend4, rec.Trend5, rec.Trend6, rec.TrendSum};
        for (int k = 0; k < 7; ++k) EXPECT_EQ(f[static_cast<std::size_t>(15 + k)], std::to_string(ints[k]));
    }
    EXPECT_EQ(lines[0].substr(0, 6), "46360;");
}

TEST_F(RenderTest, ShortestRoundTripForms) {
    const std::string row =
        "<x:Text>2007-02-15</x:Text>\r\n<x:Number>0.1</x:Number>\r\n<x:Number>12</x:Number>\r\n<x:Number>7</x:Number>\r\n"
        "<x:Number>1.5e3</x:Number>\r\n<x:Text>UP</x:Text>\r\n<x:Text>UP</x:Text>\r\n<x:Text>UP</x:Text>\r\n"
        "<x:Text>UP</x:Text>\r\n<x:Text>DOWN</x:Text>\r\n<x:Text>UP</x:Text>\r\n";
    std::string numbers;
    for (const char* v : {"13", "6", "9", "10", "11", "12", "8", "7", "-0.25"}) numbers += std::string("<x:Number>") + v + "</x:Number>\r\n";
    const Result r = Run({"records", Write("S.mht", "<x:SupBook>\r\n" + row + numbers)});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "39128;0.1;12;7;1500;9.5;13;6;9;10;11;12;8;7;-0.25;1;1;1;1;-1;1;5\n");
}

TEST_F(RenderTest, FailingFileKeepsEarlierRecordsAndReportsTheMessage) {
    std::string text = Slurp(std::string(ZYN_SOURCE_DIR) + "/Data/EURUSD.mht");
    // Cut the third row short with a block boundary after its date.
    std::size_t pos = 0;
    for (int i = 0; i < 3; ++i) pos = text.find("<x:Text>2", pos) + 1;
    pos = text.find("\r\n", pos) + 2;
    text.insert(pos, "  <x:SupBook>\r\n");
    const Result r = Run({"records", Write("E.mht", text)});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "'' ist kein gültiger Gleitkommawert.\n");
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}

TEST_F(RenderTest, OpenErrors) {
    Result r = Run({"records", dir_ + "/Missing.mht"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Datei nicht gefunden.\n");
    r = Run({"records", dir_ + "/NoFolder/DAX.mht"});
    EXPECT_EQ(r.err, "Ungültiger Dateiname.\n");
    r = Run({"records", dir_});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "E/A-Fehler 21.\n");
}

// What the viewer would skip is refused at once: a FIFO without a writer would block the open,
// a device would stream without end.
TEST_F(RenderTest, PathsThatAreNoRegularFileAreRefused) {
    const std::string fifo = dir_ + "/DAX.mht";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "E/A-Fehler 6.\n"}, {"/dev/zero", "E/A-Fehler 6.\n"}, {dir_, "E/A-Fehler 21.\n"}};
    for (const auto& [path, message] : cases) {
        for (const char* command : {"records", "layout"}) {
            const Result r = Run({command, path});
            EXPECT_EQ(r.status, 1) << command << " " << path;
            EXPECT_EQ(r.out, "") << command << " " << path;
            EXPECT_EQ(r.err, message) << command << " " << path;
        }
    }
}

TEST_F(RenderTest, WrongUsage) {
    const std::string sample = std::string(ZYN_SOURCE_DIR) + "/Data/DAX.mht";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"records"}, {"records", sample, sample}, {"nonsense", sample}, {"--help"}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("usage: zyn-render", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    }
}

}  // namespace
