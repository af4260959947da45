#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "data/DataFile.h"
#include "data/RunError.h"
#include "tests/data/DataTestSupport.h"

namespace {

using zyn::DataFile;
using zyn::RecordList;
using zyn::RunError;
using zyn::test::Cells;
using zyn::test::Document;
using zyn::test::MakeCells;

const std::size_t kBufferSizes[] = {16, 17, 31, 64, DataFile::kDefaultBufferSize};

std::vector<std::string> ReadAllLines(DataFile& file) {
    std::vector<std::string> lines;
    std::string_view line;
    while (file.ReadLine(line)) lines.emplace_back(line);
    return lines;
}

std::vector<std::string> LinesOf(const std::string& bytes, std::size_t bufferSize) {
    DataFile file(DataFile::InMemory{bytes}, bufferSize);
    return ReadAllLines(file);
}

// The line rules written out plainly: the text ends at Ctrl-Z; CR, CR LF and LF each end a line;
// a last line without line end counts when it holds anything.
std::vector<std::string> ModelLines(const std::string& bytes) {
    const std::string text = bytes.substr(0, bytes.find('\x1A'));
    std::vector<std::string> lines;
    std::string current;
    bool open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            open = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current += c;
            open = true;
        }
    }
    if (open) lines.push_back(current);
    return lines;
}

// ReadField written out plainly over the model's lines.
class ModelReader {
public:
    explicit ModelReader(const std::string& bytes) : lines_(ModelLines(bytes)) {}
    std::string ReadField(const std::string& kind) {
        while (next_ < lines_.size()) {
            const std::string& line = lines_[next_++];
            if (line.find("SupBook") != std::string::npos) return "";
            if (line.find("<x:" + kind) != std::string::npos) return std::string(zyn::ExtractElementText(line));
        }
        return "";
    }

private:
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
};

std::string MessageOfRead(const std::string& bytes, RecordList& records, std::size_t bufferSize = DataFile::kDefaultBufferSize) {
    try {
        DataFile file(DataFile::InMemory{bytes}, bufferSize);
        zyn::ReadRecords(file, records);
    } catch (const RunError& e) {
        return e.what();
    }
    return "";
}

TEST(DataFileLines, LineEnds) {
    for (std::size_t size : kBufferSizes) {
        EXPECT_EQ(LinesOf("a\rb\r\nc\nd", size), (std::vector<std::string>{"a", "b", "c", "d"})) << size;
        EXPECT_EQ(LinesOf("a\r\n\r\nb\r\n", size), (std::vector<std::string>{"a", "", "b"})) << size;
        EXPECT_EQ(LinesOf("\n\r", size), (std::vector<std::string>{"", ""})) << size;
        EXPECT_EQ(LinesOf("\r\r\n", size), (std::vector<std::string>{"", ""})) << size;
        EXPECT_EQ(LinesOf("aaaaaaaaaaaaaaa\r\nb", size), (std::vector<std::string>{"aaaaaaaaaaaaaaa", "b"})) << size;
        EXPECT_EQ(LinesOf("", size), std::vector<std::string>{}) << size;
        EXPECT_EQ(LinesOf("tab\there\x01\x7F\xFF", size), std::vector<std::string>{"tab\there\x01\x7F\xFF"}) << size;
        EXPECT_EQ(LinesOf(std::string("nul\0byte\r\n", 10), size), std::vector<std::string>{std::string("nul\0byte", 8)});
    }
}

TEST(DataFileLines, CtrlZEndsTheReadableText) {
    for (std::size_t size : kBufferSizes) {
        EXPECT_EQ(LinesOf("a\x1A" "b\rc", size), std::vector<std::string>{"a"}) << size;
        EXPECT_EQ(LinesOf("\x1A" "abc\r\n", size), std::vector<std::string>{}) << size;
        EXPECT_EQ(LinesOf("a\r\x1A\nb", size), std::vector<std::string>{"a"}) << size;
        EXPECT_EQ(LinesOf("a\r\nb\r\n\x1A", size), (std::vector<std::string>{"a", "b"})) << size;
    }
}

TEST(DataFileLines, EveryReadAfterTheEndIsEmpty) {
    const std::string text = "one\r\ntwo";
    DataFile file(DataFile::InMemory{text}, 16);
    EXPECT_FALSE(file.AtEnd());
    EXPECT_EQ(file.ReadLine(), "one");
    EXPECT_FALSE(file.AtEnd());
    EXPECT_EQ(file.ReadLine(), "two");
    EXPECT_TRUE(file.AtEnd());
    for (int i = 0; i < 3; ++i) {
        std::string_view line = "x";
        EXPECT_FALSE(file.ReadLine(line));
        EXPECT_TRUE(line.empty());
        EXPECT_EQ(file.ReadLine(), "");
    }
    const std::string closed = "one\r\ntwo\r\n";
    DataFile third(DataFile::InMemory{closed});
    EXPECT_EQ(third.ReadLine(), "one");
    third.Close();
    EXPECT_TRUE(third.AtEnd());
    EXPECT_EQ(third.ReadLine(), "");
    const std::string crlfAtEnd = "one\r\n";
    DataFile second(DataFile::InMemory{crlfAtEnd}, 16);
    EXPECT_EQ(second.ReadLine(), "one");
    EXPECT_TRUE(second.AtEnd());
}

TEST(DataFileLines, MatchesTheRulesForRandomTexts) {
    std::mt19937 rng(12345);
    const char alphabet[] = {'a', 'b', '<', '\r', '\n', '\x1A', ' '};
    std::uniform_int_distribution<int> pick(0, 6), length(0, 120);
    std::uniform_int_distribution<int> weight(0, 99);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int n = length(rng);
        for (int i = 0; i < n; ++i) {
            const int p = pick(rng);
            // Ctrl-Z rarely, so that most texts run long.
            text += (alphabet[p] == '\x1A' && weight(rng) > 3) ? 'c' : alphabet[p];
        }
        const std::vector<std::string> expected = ModelLines(text);
        for (std::size_t size : {std::size_t{16}, std::size_t{19}, std::size_t{4096}}) {
            ASSERT_EQ(LinesOf(text, size), expected) << "round " << round << " size " << size;
        }
    }
}

TEST(DataFileLines, LinesLongerThanTheBuffer) {
    const std::string longLine(200000, 'q');
    const std::string text = "head\r\n" + longLine + "\r\n<x:Text>tail</x:Text>\r\n" + longLine;
    for (std::size_t size : {std::size_t{16}, std::size_t{1000}, DataFile::kDefaultBufferSize}) {
        const std::vector<std::string> lines = LinesOf(text, size);
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[1], longLine);
        EXPECT_EQ(lines[2], "<x:Text>tail</x:Text>");
        EXPECT_EQ(lines[3], longLine);
    }
}

TEST(ExtractElementText, CutsTheValueOut) {
    EXPECT_EQ(zyn::ExtractElementText("     <x:Number>6950.5</x:Number>"), "6950.5");
    EXPECT_EQ(zyn::ExtractElementText("<x:Text>2007-02-15</x:Text>"), "2007-02-15");
    EXPECT_EQ(zyn::ExtractElementText("<x:Number>6950.5"), "6950.5");  // no closing tag
    EXPECT_EQ(zyn::ExtractElementText("<x:Text></x:Text>"), "");
    EXPECT_EQ(zyn::ExtractElementText("no tags"), "no tags");
    EXPECT_EQ(zyn::ExtractElementText("before<after"), "before");  // no '>': up to the first '<'
    EXPECT_EQ(zyn::ExtractElementText("a>b"), "b");
    EXPECT_EQ(zyn::ExtractElementText("x>y>z<w"), "y>z");
    EXPECT_EQ(zyn::ExtractElementText("<a<b>c<d"), "c");
    EXPECT_EQ(zyn::ExtractElementText(""), "");
}

TEST(ReadField, WorkedExample) {
    const std::string text =
        "<x:SupBook>\r\n<x:Crn>\r\n<x:Row>3</x:Row>\r\n<x:Text>2007-02-15</x:Text>\r\n<x:Number>6950.5</x:Number>\r\n";
    DataFile file(DataFile::InMemory{text});
    zyn::SkipToFirstBlock(file);
    EXPECT_EQ(zyn::ReadField(file, "Text"), "2007-02-15");
    EXPECT_EQ(zyn::ReadField(file, "Number"), "6950.5");
    EXPECT_EQ(zyn::ReadField(file, "Number"), "");  // the end counts as a boundary
    EXPECT_TRUE(file.AtEnd());
}

TEST(ReadField, SkipsOtherKindsAndStopsAtBoundaries) {
    const std::string text =
        "header SupBook\r\n<x:Text>skipped</x:Text>\r\n<x:Number>1.5</x:Number>\r\n"
        "<x:SupBook>\r\n<x:Text>after</x:Text>\r\n"
        "<x:Number>7</x:Number> SupBook\r\n<x:Number>8\r\n<x:Text>value</x:Text>\r\n";
    DataFile file(DataFile::InMemory{text}, 16);
    zyn::SkipToFirstBlock(file);
    EXPECT_EQ(zyn::ReadField(file, "Number"), "1.5");  // passes over the text cell
    EXPECT_EQ(zyn::ReadField(file, "Number"), "");     // boundary line, consumed
    EXPECT_EQ(zyn::ReadField(file, "Text"), "after");
    EXPECT_EQ(zyn::ReadField(file, "Number"), "");  // a value and SupBook on one line: a boundary
    EXPECT_EQ(zyn::ReadField(file, "Number"), "8");  // runs to the end of the line
    EXPECT_EQ(zyn::ReadField(file, "Text"), "value");
    EXPECT_EQ(zyn::ReadField(file, "Text"), "");
    EXPECT_EQ(zyn::ReadField(file, "Text"), "");
}

TEST(ReadField, LongKindNames) {
    const std::string text = "SupBook\r\n<x:Number>1</x:Number>\r\n<x:NumberWithALongName>2</x:NumberWithALongName>\r\n"
                             "<x:Text>3</x:Text> SupBook\r\n<x:NumberWithALongName>4\r\n";
    DataFile file(DataFile::InMemory{text});
    zyn::SkipToFirstBlock(file);
    EXPECT_EQ(zyn::ReadField(file, "NumberWithALongName"), "2");
    EXPECT_EQ(zyn::ReadField(file, "NumberWithALongName"), "");
    EXPECT_EQ(zyn::ReadField(file, "NumberWithALongName"), "4");
}

TEST(ReadField, KindFollowsTheElementPrefixDirectly) {
    const std::string text = "SupBook\r\n<x:Texts>a</x:Texts>\r\n<x: Text>b</x: Text>\r\n<y:Text>c</y:Text>\r\n<X:Text>d\r\n";
    DataFile file(DataFile::InMemory{text});
    zyn::SkipToFirstBlock(file);
    EXPECT_EQ(zyn::ReadField(file, "Text"), "a");  // "<x:Text" is a prefix of "<x:Texts"
    EXPECT_EQ(zyn::ReadField(file, "Text"), "");   // no other line holds "<x:Text"
}

// The reader's line scan against the plain model over texts built from the markers.
TEST(ReadField, MatchesTheRulesForRandomTexts) {
    std::mt19937 rng(777);
    const std::vector<std::string> tokens = {"<x:Text>", "<x:Number>", "SupBook", "Sup", "upBook", "S", "<", ">",
                                             "</x:Text>", "</x:Number>", "12.5", "UP", "<x:Te", "<x:Numbe",
                                             "\r\n", "\n", "\r", "                ", "x", "\x1A"};
    std::uniform_int_distribution<std::size_t> pick(0, tokens.size() - 1);
    std::uniform_int_distribution<int> count(0, 60), coin(0, 1), rare(0, 40);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int n = count(rng);
        for (int i = 0; i < n; ++i) {
            const std::string& t = tokens[pick(rng)];
            if (t == "\x1A" && rare(rng) != 0) continue;
            text += t;
        }
        for (std::size_t size : {std::size_t{16}, std::size_t{4096}}) {
            ModelReader model(text);
            DataFile file(DataFile::InMemory{text}, size);
            std::mt19937 kinds(static_cast<unsigned>(round));
            for (int k = 0; k < 12; ++k) {
                const std::string kind = coin(kinds) != 0 ? "Text" : "Number";
                ASSERT_EQ(zyn::ReadField(file, kind), model.ReadField(kind)) << "round " << round << " size " << size;
            }
        }
    }
}

TEST(ReadRecords, ReadsTheRowsOfTheFirstBlock) {
    const std::string text = Document({MakeCells("2007-02-15", 6950.5), MakeCells("2007-02-14", 6900)}) +
                             zyn::test::BlockStart() + zyn::test::RowText(MakeCells("2007-02-13")) + zyn::test::BlockEnd();
    for (std::size_t size : kBufferSizes) {
        RecordList records;
        EXPECT_EQ(MessageOfRead(text, records, size), "");
        ASSERT_EQ(records.size(), 2u);
        const zyn::DailyRecord& r = records[0];
        EXPECT_EQ(r.Date, 39128.0);
        EXPECT_EQ(r.Open, 6950.5);
        EXPECT_EQ(r.High, 6952.5);
        EXPECT_EQ(r.Low, 6947.5);
        EXPECT_EQ(r.Close, 6951.5);
        EXPECT_EQ(r.Midpoint, 6950.0);
        EXPECT_EQ(r.RangeHigh, 6955.5);
        EXPECT_EQ(r.RangeLow, 6944.5);
        EXPECT_EQ(r.Pivot, 6950.5);
        EXPECT_EQ(r.R1, 6952.0);
        EXPECT_EQ(r.R2, 6953.5);
        EXPECT_EQ(r.R3, 6955.0);
        EXPECT_EQ(r.S1, 6949.0);
        EXPECT_EQ(r.S2, 6947.5);
        EXPECT_EQ(r.S3, 6946.0);
        EXPECT_EQ(r.Trend1, 1);
        EXPECT_EQ(r.Trend2, -1);
        EXPECT_EQ(r.Trend3, 0);
        EXPECT_EQ(r.Trend4, 1);
        EXPECT_EQ(r.Trend5, -1);
        EXPECT_EQ(r.Trend6, 1);
        EXPECT_EQ(r.TrendSum, 2);
        EXPECT_EQ(records[1].Date, 39127.0);
        EXPECT_EQ(records[1].Open, 6900.0);
    }
}

TEST(ReadRecords, LineEndStyles) {
    const std::vector<Cells> rows = {MakeCells("2007-02-15"), MakeCells("2007-02-14"), MakeCells("2007-02-13")};
    for (const std::string eol : {"\r\n", "\n", "\r"}) {
        RecordList records;
        EXPECT_EQ(MessageOfRead(Document(rows, eol), records), "");
        EXPECT_EQ(records.size(), 3u) << (eol == "\n" ? "LF" : eol == "\r" ? "CR" : "CRLF");
    }
    // Mixed line ends within one file.
    std::string mixed = Document(rows);
    for (std::size_t pos = 0; (pos = mixed.find("\r\n", pos)) != std::string::npos; pos += 1) {
        if (pos % 3 == 0) mixed.erase(pos, 1);
    }
    RecordList records;
    EXPECT_EQ(MessageOfRead(mixed, records), "");
    EXPECT_EQ(records.size(), 3u);
}

TEST(ReadRecords, EmptyBlockAndMissingBlock) {
    RecordList records(3);
    EXPECT_EQ(MessageOfRead(zyn::test::Header() + "<x:SupBook>\r\n<x:SupBook>\r\n" + zyn::test::RowText(MakeCells("2007-02-15")),
                            records),
              "");
    EXPECT_TRUE(records.empty());  // emptied even though nothing was read
    EXPECT_EQ(MessageOfRead(zyn::test::Header() + zyn::test::RowText(MakeCells("2007-02-15")), records), "");
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(MessageOfRead("", records), "");
    EXPECT_TRUE(records.empty());
}

TEST(ReadRecords, EmptyDateCellEndsTheData) {
    Cells empty = MakeCells("");
    const std::string text = Document({MakeCells("2007-02-15"), empty, MakeCells("2007-02-13")});
    RecordList records;
    EXPECT_EQ(MessageOfRead(text, records), "");
    EXPECT_EQ(records.size(), 1u);
}

TEST(ReadRecords, RowCutShortByTheNextBlock) {
    std::string text = zyn::test::Header() + zyn::test::BlockStart() + zyn::test::RowText(MakeCells("2007-02-15")) +
                       "    <x:Crn>\r\n" + zyn::test::CellLine("Text", "2007-02-14") + "  <x:SupBook>\r\n" +
                       zyn::test::RowText(MakeCells("2007-02-13"));
    RecordList records;
    EXPECT_EQ(MessageOfRead(text, records), "'' ist kein gültiger Gleitkommawert");
    ASSERT_EQ(records.size(), 1u);  // the rows before stay
    EXPECT_EQ(records[0].Date, 39128.0);
}

TEST(ReadRecords, RowCutShortByTheEndOfText) {
    std::string text = zyn::test::Header() + zyn::test::BlockStart() + zyn::test::RowText(MakeCells("2007-02-15"));
    RecordList records;
    EXPECT_EQ(MessageOfRead(text + zyn::test::CellLine("Text", "2007-02-14") + zyn::test::CellLine("Number", "1"), records),
              "'' ist kein gültiger Gleitkommawert");
    EXPECT_EQ(records.size(), 1u);
    EXPECT_EQ(MessageOfRead(text + "\x1A" + zyn::test::RowText(MakeCells("2007-02-14")), records), "");
    EXPECT_EQ(records.size(), 1u);
    EXPECT_EQ(MessageOfRead(text, records), "");  // ends right after a whole row, no closing lines
    EXPECT_EQ(records.size(), 1u);
}

TEST(ReadRecords, BoundaryInsideARowShiftsTheLaterCells) {
    // The boundary stands where Trend3's line was: Trend3 becomes empty (0) and the later cells
    // are read from the lines after the boundary, so the row still lines up.
    Cells cells = MakeCells("2007-02-15");
    std::string row = zyn::test::RowText(cells);
    const std::string trend3 = zyn::test::CellLine("Text", cells[7]);
    row.replace(row.find(trend3), trend3.size(), "  <x:SupBook>\r\n");
    RecordList records;
    EXPECT_EQ(MessageOfRead(zyn::test::Header() + zyn::test::BlockStart() + row, records), "");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Trend3, 0);
    EXPECT_EQ(records[0].Trend4, 1);
    EXPECT_EQ(records[0].S3, 95.5);
}

TEST(ReadRecords, EmptyCells) {
    Cells cells = MakeCells("2007-02-15");
    cells[8] = "";  // an empty trend is 0
    RecordList records;
    EXPECT_EQ(MessageOfRead(Document({cells}), records), "");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Trend4, 0);
    cells[14] = "";
    EXPECT_EQ(MessageOfRead(Document({MakeCells("2007-02-16"), cells}), records), "'' ist kein gültiger Gleitkommawert");
    EXPECT_EQ(records.size(), 1u);
}

TEST(ReadRecords, FirstFailureInConversionOrderIsReported) {
    auto messageFor = [](const Cells& bad) {
        RecordList records;
        return MessageOfRead(Document({MakeCells("2007-02-16"), bad}), records);
    };
    Cells cells = MakeCells("2007-02-30");
    cells[1] = "o";
    EXPECT_EQ(messageFor(cells), "Ungültiges Argument zum Codieren des Datums");
    cells[0] = "2007-2-15";
    EXPECT_EQ(messageFor(cells), "'2-' ist kein gültiger Integerwert");
    cells[0] = "2007-02-15";
    cells[12] = "r.l.";  // RangeLow is converted after the prices
    EXPECT_EQ(messageFor(cells), "'o' ist kein gültiger Gleitkommawert");
    cells[1] = "1";
    cells[19] = "s3";
    EXPECT_EQ(messageFor(cells), "'r,l.' ist kein gültiger Gleitkommawert");
    cells[12] = "1";
    cells[5] = "garbage";  // trends never fail
    EXPECT_EQ(messageFor(cells), "'s3' ist kein gültiger Gleitkommawert");
}

// --- Files on disk ----------------------------------------------------------------------------

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zyn-data-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string p = path_ + "/" + name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

int OpenFdCount() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d) != nullptr) ++n;
        ::closedir(d);
    }
    return n;
}

std::string MessageOfFile(const std::string& path, RecordList& records) {
    try {
        zyn::ReadDataFile(path, records);
    } catch (const RunError& e) {
        return e.what();
    }
    return "";
}

TEST(ReadDataFile, ReadsAFileAndClosesIt) {
    TempDir dir;
    const std::string path = dir.Write("A.mht", Document({MakeCells("2007-02-15"), MakeCells("2007-02-14")}));
    const int before = OpenFdCount();
    RecordList records(5);
    EXPECT_EQ(MessageOfFile(path, records), "");
    EXPECT_EQ(records.size(), 2u);
    EXPECT_EQ(OpenFdCount(), before);
}

TEST(ReadDataFile, FailingRowKeepsEarlierRecordsAndClosesTheFile) {
    TempDir dir;
    Cells bad = MakeCells("2007-02-14");
    bad[3] = "1.5x";
    const std::string path = dir.Write("B.mht", Document({MakeCells("2007-02-16"), MakeCells("2007-02-15"), bad, MakeCells("2007-02-13")}));
    const int before = OpenFdCount();
    RecordList records;
    EXPECT_EQ(MessageOfFile(path, records), "'1,5x' ist kein gültiger Gleitkommawert");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].Date, 39128.0);
    EXPECT_EQ(OpenFdCount(), before);
}

TEST(ReadDataFile, LongLinesAndLfOnlyFromDisk) {
    TempDir dir;
    const std::string filler(150000, ' ');
    std::string text = Document({MakeCells("2007-02-15"), MakeCells("2007-02-14")}, "\n");
    text.insert(text.find("<x:Text>2007-02-14"), filler);
    RecordList records;
    EXPECT_EQ(MessageOfFile(dir.Write("C.mht", text), records), "");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].Date, 39127.0);
}

TEST(ReadDataFile, OpenErrors) {
    TempDir dir;
    const std::string file = dir.Write("X.mht", Document({MakeCells("2007-02-15")}));
    const int before = OpenFdCount();
    RecordList records(1);
    EXPECT_EQ(MessageOfFile(dir.path() + "/Missing.mht", records), "Datei nicht gefunden");
    EXPECT_EQ(MessageOfFile(dir.path() + "/NoFolder/DAX.mht", records), "Ungültiger Dateiname");
    EXPECT_EQ(MessageOfFile(dir.path() + "/NoFolder/Deeper/DAX.mht", records), "Ungültiger Dateiname");
    EXPECT_EQ(MessageOfFile(file + "/DAX.mht", records), "Ungültiger Dateiname");  // a file used as a folder
    EXPECT_EQ(MessageOfFile(dir.path(), records), "E/A-Fehler 21");             // a folder in place of the file
    EXPECT_EQ(records.size(), 1u);  // the list is emptied only once the file is open
    EXPECT_EQ(OpenFdCount(), before);
}

TEST(ReadDataFile, AccessDenied) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not deny access to root";
    TempDir dir;
    const std::string file = dir.Write("L.mht", Document({MakeCells("2007-02-15")}));
    ASSERT_EQ(::chmod(file.c_str(), 0), 0);
    RecordList records;
    EXPECT_EQ(MessageOfFile(file, records), "Dateizugriff verweigert");
    ASSERT_EQ(::chmod(dir.path().c_str(), 0), 0);
    EXPECT_EQ(MessageOfFile(dir.path() + "/Other.mht", records), "Dateizugriff verweigert");
}

TEST(ReadDataFile, TooManyOpenFiles) {
    TempDir dir;
    const std::string file = dir.Write("M.mht", Document({MakeCells("2007-02-15")}));
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(OpenFdCount() + 8);
    if (low.rlim_cur > saved.rlim_cur) GTEST_SKIP() << "file limit already low";
    // One error caught before the descriptors run out: the undefined-behaviour checker checks a
    // caught type's vtable through a pipe the first time it meets it, which fails without a free
    // descriptor and would be reported as an invalid object.
    RecordList warm;
    EXPECT_EQ(MessageOfFile(dir.path() + "/Fehlt.mht", warm), "Datei nicht gefunden");
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<std::FILE*> hogs;
    while (std::FILE* f = std::fopen("/dev/null", "r")) hogs.push_back(f);
    RecordList records;
    const std::string message = MessageOfFile(file, records);
    for (std::FILE* f : hogs) std::fclose(f);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(message, "Zu viele geöffnete Dateien");
}

// --- The sample data files ---------------------------------------------------------------------

struct SampleSpec {
    const char* name;
    int decimals;
    double low, high;  // loose plausibility band
};

const SampleSpec kSamples[] = {
    {"AUDJPY", 2, 60, 160},        {"AUDUSD", 4, 0.4, 1.0},     {"GBPJPY", 2, 120, 260},  {"GBPCHF", 4, 0.8, 1.5},
    {"GBPUSD", 4, 0.9, 1.7},       {"EURGBP", 4, 0.6, 1.1},     {"EURJPY", 2, 100, 220},  {"EURUSD", 4, 0.8, 1.5},
    {"USDCHF", 4, 0.6, 1.2},       {"USDJPY", 2, 100, 200},     {"CAC40", 2, 4000, 12000}, {"DAX", 2, 10000, 26000},
    {"ESX50", 2, 3000, 7000},      {"SMI", 2, 7000, 17000},     {"FTSE100", 2, 5000, 11000}, {"NDX100", 2, 10000, 30000},
    {"DJIA", 2, 25000, 60000},     {"SPX500", 2, 3000, 8000},   {"N225", 2, 20000, 55000}, {"HANGSENG", 2, 10000, 30000},
};

TEST(SampleFiles, AllTwentyLoadWithSaneValues) {
    for (const SampleSpec& spec : kSamples) {
        SCOPED_TRACE(spec.name);
        RecordList records;
        ASSERT_EQ(MessageOfFile(std::string(ZYN_SOURCE_DIR) + "/Data/" + spec.name + ".mht", records), "");
        ASSERT_GE(records.size(), 250u);
        EXPECT_EQ(records.front().Date, 46360.0);  // newest first, 2026-12-04
        const double tick = std::pow(10.0, -spec.decimals);
        for (std::size_t i = 0; i < records.size(); ++i) {
            const zyn::DailyRecord& r = records[i];
            SCOPED_TRACE(i);
            if (i > 0) {
                EXPECT_LT(r.Date, records[i - 1].Date);
            }
            const long weekday = ((static_cast<long>(r.Date) % 7) + 7) % 7;  // 0 = Saturday
            EXPECT_GE(weekday, 2);
            EXPECT_GE(r.High, std::max(r.Open, r.Close));
            EXPECT_LE(r.Low, std::min(r.Open, r.Close));
            EXPECT_GT(r.Low, spec.low);
            EXPECT_LT(r.High, spec.high);
            EXPECT_LT((r.High - r.Low) / r.Low, 0.1);
            EXPECT_EQ(r.Midpoint, (r.High + r.Low) * 0.5);
            EXPECT_GE(r.RangeHigh, r.High);
            EXPECT_LE(r.RangeLow, r.Low);
            for (double v : {r.Open, r.High, r.Low, r.Close, r.Pivot, r.S3}) {
                EXPECT_NEAR(v / tick, std::round(v / tick), 1e-6);  // written with the instrument's decimals
            }
            const double p = (r.High + r.Low + r.Close) / 3;
            const double tol = tick / 2 + 1e-9 * r.High;
            EXPECT_NEAR(r.Pivot, p, tol);
            EXPECT_NEAR(r.R1, 2 * p - r.Low, tol);
            EXPECT_NEAR(r.S1, 2 * p - r.High, tol);
            EXPECT_NEAR(r.R2, p + (r.High - r.Low), tol);
            EXPECT_NEAR(r.S2, p - (r.High - r.Low), tol);
            EXPECT_NEAR(r.R3, r.High + 2 * (p - r.Low), tol);
            EXPECT_NEAR(r.S3, r.Low - 2 * (r.High - p), tol);
            for (int t : {r.Trend1, r.Trend2, r.Trend3, r.Trend4, r.Trend5, r.Trend6}) {
                EXPECT_TRUE(t >= -1 && t <= 1);
            }
            EXPECT_EQ(r.TrendSum, r.Trend1 + r.Trend2 + r.Trend3 + r.Trend4 + r.Trend6);
            if (::testing::Test::HasFailure()) return;
        }
    }
}

}  // namespace
