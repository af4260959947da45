// zyn-gen-data: writes the sample data files of the twenty instruments (deterministic).
//   zyn-gen-data [--out DIR] [--rows N] [--seed S] [--no-table] [NAME...]
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/SampleData.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: zyn-gen-data [--out DIR] [--rows N] [--seed S] [--no-table] [NAME...]\n");
    return 2;
}

bool ParseNumber(const char* text, unsigned long long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zyn::sample;
    std::string outDir = "Data";
    Options options;
    std::vector<const Instrument*> chosen;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        unsigned long long n = 0;
        if (arg == "--out" && i + 1 < argc) {
            outDir = argv[++i];
        } else if (arg == "--rows" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], n) || n == 0 || n > 2000000) return Usage();
            options.rows = static_cast<int>(n);
        } else if (arg == "--seed" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], n)) return Usage();
            options.seed = n;
        } else if (arg == "--no-table") {
            options.htmlTable = false;
        } else if (!arg.empty() && arg[0] != '-') {
            const Instrument* instrument = FindInstrument(arg);
            if (instrument == nullptr) {
                std::fprintf(stderr, "zyn-gen-data: unknown instrument %s\n", arg.c_str());
                return 2;
            }
            chosen.push_back(instrument);
        } else {
            return Usage();
        }
    }
    if (chosen.empty()) {
        for (const Instrument& instrument : Instruments()) chosen.push_back(&instrument);
    }
    for (const Instrument* instrument : chosen) {
        const std::string path = outDir + "/" + instrument->name + ".mht";
        if (!WriteSampleFile(path, *instrument, options)) {
            std::fprintf(stderr, "zyn-gen-data: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
            return 1;
        }
    }
    return 0;
}
