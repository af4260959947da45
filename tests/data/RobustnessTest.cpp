// Damaged data files: every read must end in records or one of the conversion messages, with the
// same outcome whatever the buffer size, and never crash or hang.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "data/DataFile.h"
#include "data/RunError.h"
#include "tests/data/DataTestSupport.h"

namespace {

using zyn::DataFile;
using zyn::RecordList;

// The first rows of a sample file, closed like a whole block.
std::string SmallSample(int rows) {
    std::ifstream in(std::string(ZYN_SOURCE_DIR) + "/Data/EURUSD.mht", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string all = ss.str();
    std::size_t end = 0;
    for (int i = 0; i < rows; ++i) {
        end = all.find("</x:Crn>\r\n", end);
        if (end == std::string::npos) return {};
        end += 10;
    }
    return all.substr(0, end) + "   </x:Xct>\r\n  </x:SupBook>\r\n";
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsSpecifiedMessage(const std::string& m) {
    if (m == "Ungültiges Argument zum Codieren des Datums") return true;
    for (const std::string tail : {"' ist kein gültiger Integerwert", "' ist kein gültiger Gleitkommawert"}) {
        if (m.size() >= tail.size() + 1 && m[0] == '\'' && EndsWith(m, tail)) return true;
    }
    return false;
}

struct Outcome {
    RecordList records;
    std::string message;
    bool operator==(const Outcome& o) const {
        if (message != o.message || records.size() != o.records.size()) return false;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const zyn::DailyRecord& a = records[i];
            const zyn::DailyRecord& b = o.records[i];
            // Bitwise, so that NaN-free equal values compare and -0 differs from 0.
            if (std::memcmp(&a, &b, sizeof a) != 0) return false;
        }
        return true;
    }
};

Outcome Read(const std::string& bytes, std::size_t bufferSize) {
    Outcome out;
    try {
        DataFile file(DataFile::InMemory{bytes}, bufferSize);
        zyn::ReadRecords(file, out.records);
    } catch (const zyn::RunError& e) {
        out.message = e.what();
    }
    return out;
}

std::string Mutate(std::string s, std::mt19937& rng) {
    static const std::string inserts[] = {"\r", "\n", "\r\n", "\x1A", "  <x:SupBook>\r\n", "SupBook", "<x:Text>",
                                          "<x:Number>", "<", ">", "</x:Number>", ".", ",", "e", "-", "$", "0x",
                                          "<x:Number>1.5</x:Number>\r\n", "<x:Text>UP</x:Text>\r\n", "     <x:Text></x:Text>\r\n"};
    std::uniform_int_distribution<int> kind(0, 5);
    const int mutations = 1 + static_cast<int>(rng() % 4);
    for (int m = 0; m < mutations && !s.empty(); ++m) {
        std::uniform_int_distribution<std::size_t> pos(0, s.size() - 1);
        switch (kind(rng)) {
        case 0:  // flip a byte
            s[pos(rng)] = static_cast<char>(rng() & 0xFF);
            break;
        case 1:  // flip one bit
            s[pos(rng)] ^= static_cast<char>(1 << (rng() % 8));
            break;
        case 2:  // cut the file short
            s.resize(pos(rng));
            break;
        case 3:  // insert a marker or a line end
            s.insert(pos(rng), inserts[rng() % (sizeof inserts / sizeof inserts[0])]);
            break;
        case 4: {  // drop a stretch
            const std::size_t p = pos(rng);
            s.erase(p, rng() % 200);
            break;
        }
        case 5: {  // repeat a stretch
            const std::size_t p = pos(rng);
            s.insert(p, s.substr(p, rng() % 300));
            break;
        }
        }
    }
    return s;
}

TEST(Robustness, DamagedFilesEndInRecordsOrAMessage) {
    const std::string sample = SmallSample(20);
    ASSERT_FALSE(sample.empty());
    const Outcome clean = Read(sample, DataFile::kDefaultBufferSize);
    ASSERT_EQ(clean.message, "");
    ASSERT_EQ(clean.records.size(), 20u);

    std::mt19937 rng(20261204);
    int failures = 0;
    for (int round = 0; round < 4000; ++round) {
        const std::string damaged = Mutate(sample, rng);
        const Outcome big = Read(damaged, DataFile::kDefaultBufferSize);
        if (!big.message.empty()) {
            ++failures;
            ASSERT_TRUE(IsSpecifiedMessage(big.message)) << "round " << round << ": " << ::testing::PrintToString(big.message);
        }
        ASSERT_LE(big.records.size(), 40u);
        const std::size_t small = 16 + rng() % 200;
        ASSERT_TRUE(Read(damaged, small) == big) << "round " << round << " buffer " << small;
    }
    // The mutations do reach the conversions.
    EXPECT_GT(failures, 100);
}

// Shapes no workbook holds: a cell of millions of characters, one past the text the reader
// keeps, a line without end. Each ends in the records before it and, for a failing cell, its
// conversion message with the text shortened; the outcome is the same through a small buffer.
TEST(Robustness, HugeCellsAndLinesWithoutEnd) {
    using zyn::test::Document;
    using zyn::test::MakeCells;
    const std::string shown = std::string(100, '7') + "\u2026";
    const std::string floatTail = "' ist kein gültiger Gleitkommawert";
    auto withOpen = [](const std::string& open) {
        zyn::test::Cells bad = MakeCells("2007-02-13");
        bad[1] = open;
        return Document({MakeCells("2007-02-15"), MakeCells("2007-02-14"), bad, MakeCells("2007-02-12")});
    };
    struct Case {
        const char* name;
        std::string bytes;
        std::string message;
        std::size_t records;
    };
    const Case cases[] = {
        // Texts of up to 100 characters show in full, longer ones their first 100 and "…".
        {"100 characters", withOpen(std::string(99, '7') + "x"), "'" + std::string(99, '7') + "x" + floatTail, 2},
        {"101 characters", withOpen(std::string(100, '7') + "x"), "'" + shown + floatTail, 2},
        {"5,000,000 characters", withOpen(std::string(5000000, '7') + "x"), "'" + shown + floatTail, 2},
        // A number cell longer than the kept text fails even when every kept byte is a digit.
        {"past the kept text", withOpen(std::string(DataFile::kMaxTextBytes + 10, '7')), "'" + shown + floatTail, 2},
        // The rows before an endless last line stay; a boundary far into such a line still counts.
        {"line without end", Document({MakeCells("2007-02-15")}) + std::string(20 << 20, 'a'), "", 1},
        {"boundary past the kept text",
         std::string(DataFile::kMaxTextBytes + 7, 'a') + "<x:SupBook>\r" + zyn::test::RowText(MakeCells("2007-02-15")) +
             zyn::test::BlockEnd(),
         "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome big = Read(c.bytes, DataFile::kDefaultBufferSize);
        EXPECT_EQ(big.message, c.message);
        EXPECT_EQ(big.records.size(), c.records);
        EXPECT_TRUE(Read(c.bytes, 4096) == big);
    }
}

}  // namespace
