// Fuzzes the data file reader: any bytes must end in records or one of the conversion messages,
// and the outcome must not depend on the read buffer's size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "data/DataFile.h"
#include "data/RunError.h"

namespace {

struct Outcome {
    zyn::RecordList records;
    std::string message;
};

Outcome Read(std::string_view bytes, std::size_t bufferSize) {
    Outcome out;
    try {
        zyn::DataFile file(zyn::DataFile::InMemory{bytes}, bufferSize);
        zyn::ReadRecords(file, out.records);
    } catch (const zyn::RunError& e) {
        out.message = e.what();
    }
    return out;
}

bool EndsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsSpecifiedMessage(const std::string& m) {
    return m.empty() || m == "Ungültiges Argument zum Codieren des Datums" ||
           (!m.empty() && m[0] == '\'' &&
            (EndsWith(m, "' ist kein gültiger Integerwert") || EndsWith(m, "' ist kein gültiger Gleitkommawert")));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks a small buffer, so that lines straddle refills and force growth.
    const std::size_t small = 16 + data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const Outcome a = Read(bytes, small);
    const Outcome b = Read(bytes, zyn::DataFile::kDefaultBufferSize);
    if (!IsSpecifiedMessage(a.message)) std::abort();
    if (a.message != b.message || a.records.size() != b.records.size()) std::abort();
    if (!a.records.empty() && std::memcmp(a.records.data(), b.records.data(), a.records.size() * sizeof(zyn::DailyRecord)) != 0) {
        std::abort();
    }
    return 0;
}
