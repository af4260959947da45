// zyn-render: command-line access to what the viewer reads and draws.
// Each sub-command is one entry of the dispatch table below.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

#include "data/DataFile.h"
#include "data/RunError.h"
#include "tools/RenderCommands.h"

namespace {

struct Command {
    const char* name;
    const char* arguments;  // shown in the usage line
    int argumentCount;      // arguments after the sub-command's name; -1: the command parses them
    int (*run)(char** arguments);
    int (*runWithOptions)(int argc, char** argv) = nullptr;
};

void AppendReal(std::string& out, double value) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

void AppendInt(std::string& out, int value) {
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

// records FILE: one line per record in file order, 22 fields separated by ";".
int RunRecords(char** arguments) {
    zyn::RecordList records;
    std::string failure;
    bool failed = false;
    try {
        zyn::ReadDataFile(arguments[0], records);
    } catch (const std::exception& e) {
        failure = e.what();
        failed = true;
    }
    std::string out;
    for (const zyn::DailyRecord& r : records) {
        for (double v : {r.Date, r.Open, r.High, r.Low, r.Close, r.Midpoint, r.RangeHigh, r.RangeLow, r.Pivot, r.R1,
                         r.R2, r.R3, r.S1, r.S2, r.S3}) {
            AppendReal(out, v);
            out += ';';
        }
        for (int v : {r.Trend1, r.Trend2, r.Trend3, r.Trend4, r.Trend5, r.Trend6}) {
            AppendInt(out, v);
            out += ';';
        }
        AppendInt(out, r.TrendSum);
        out += '\n';
        if (out.size() > (1u << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    if (failed) {
        std::fprintf(stderr, "%s\n", zyn::ErrorBoxText(failure).c_str());
        return 1;
    }
    return std::ferror(stdout) ? 1 : 0;
}

const Command kCommands[] = {
    {"records", "FILE", 1, RunRecords},
    {"png",
     "FILE OUT.png [--size WxH] [--title TEXT] [--no-projection] [--drag BUTTON:X0,Y0:X1,Y1]... "
     "[--wheel X:NOTCHES]...",
     -1, nullptr, zyn::tools::RunPng},
    {"pdf",
     "FILE OUT.pdf [--size WxH] [--title TEXT] [--no-projection] [--drag BUTTON:X0,Y0:X1,Y1]... "
     "[--wheel X:NOTCHES]...",
     -1, nullptr, zyn::tools::RunPdf},
    {"svg",
     "FILE OUT.svg [--size WxH] [--title TEXT] [--no-projection] [--drag BUTTON:X0,Y0:X1,Y1]... "
     "[--wheel X:NOTCHES]...",
     -1, nullptr, zyn::tools::RunSvg},
    {"layout",
     "FILE [--size WxH] [--title TEXT] [--no-projection] [--drag BUTTON:X0,Y0:X1,Y1]... [--wheel X:NOTCHES]...",
     -1, nullptr, zyn::tools::RunLayout},
};

int Usage() {
    std::string text = "usage: zyn-render";
    const char* sep = " ";
    for (const Command& c : kCommands) {
        text += sep;
        text += c.name;
        text += ' ';
        text += c.arguments;
        sep = " | ";
    }
    std::fprintf(stderr, "%s\n", text.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) == 0) {
            if (c.runWithOptions) return c.runWithOptions(argc, argv);
            if (argc - 2 != c.argumentCount) return Usage();
            return c.run(argv + 2);
        }
    }
    return Usage();
}
