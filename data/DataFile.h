#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "data/DailyRecord.h"

namespace zyn {

// Line reader over a data file with the file's line rules: a line ends at CR (a LF right
// after it belongs to the line end), at a lone LF, and Ctrl-Z or the physical end ends the
// readable text, after which every line read is empty and AtEnd() is true.
// Opening (and a failing read) maps the platform error to the run-time I/O messages (RaiseIoError).
// The file is closed by the destructor (and by Close()).
// The file is streamed through a bounded buffer; only a line longer than the buffer makes it
// grow (to that line's length), so memory stays independent of the file size.
class DataFile {
public:
    static constexpr std::size_t kDefaultBufferSize = 64 * 1024;

    // Bytes held by the caller, read through the same buffer logic as a file (tests, fuzzing).
    struct InMemory {
        std::string_view bytes;
    };

    explicit DataFile(const std::string& path);
    DataFile(const std::string& path, std::size_t bufferSize);
    explicit DataFile(InMemory source, std::size_t bufferSize = kDefaultBufferSize);
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // Reads the next line; the view stays valid until the next call.
    std::string_view ReadLine();
    // Reads the next line into `line`; false (and an empty line) once the readable text has ended.
    bool ReadLine(std::string_view& line);
    bool AtEnd() const;
    void Close();
    // Size of the file (or of the bytes) in bytes, as known when it was opened.
    std::size_t ByteSize() const;

private:
    friend std::string_view ReadFieldView(DataFile& file, std::string_view kind);
    friend bool ReadRecord(DataFile& file, RecordList& records);
    struct Impl;
    Impl* impl_;
};

// The scanner over the lines of a data file.
void SkipToFirstBlock(DataFile& file);
std::string_view ExtractElementText(std::string_view line);
// kind is "Text" or "Number". The end of the readable text counts as a block boundary.
std::string ReadField(DataFile& file, std::string_view kind);
// As ReadField, without a copy: the view stays valid until the next read from the file.
std::string_view ReadFieldView(DataFile& file, std::string_view kind);
// Reads one row and appends its record; false when the data ends.
bool ReadRecord(DataFile& file, RecordList& records);
// Empties records, skips to the first block and reads records until the data ends.
void ReadRecords(DataFile& file, RecordList& records);

// Opens path, empties records, skips to the first block and reads records until the data
// ends, closing the file in every case. Records read before a failing row stay in the list.
void ReadDataFile(const std::string& path, RecordList& records);

}  // namespace zyn
