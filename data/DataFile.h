#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "data/DailyRecord.h"

namespace zyn {

// Line reader over a data file with the file's line rules: a line ends at CR (a LF right
// after it belongs to the line end), at a lone LF, and Ctrl-Z or the physical end ends the
// readable text, after which every line read is empty and AtEnd() is true.
// Opening (and a failing read) maps the platform error to the run-time I/O messages (RaiseIoError);
// only a regular file opens (a directory is "E/A-Fehler 21", a FIFO, socket or device "E/A-Fehler 6").
// The file is closed by the destructor (and by Close()).
// Memory stays bounded whatever the file holds: the file streams through a buffer of fixed size,
// once, and of a line longer than the buffer only the text it yields is kept, at most
// kMaxTextBytes of it (a longer text comes back cut to that length).
class DataFile {
public:
    static constexpr std::size_t kDefaultBufferSize = 64 * 1024;
    static constexpr std::size_t kMaxTextBytes = 16 * 1024 * 1024;

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

    // Reads the next line (cut to kMaxTextBytes); the view stays valid until the next call.
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
    friend void SkipToFirstBlock(DataFile& file);
    struct Impl;
    Impl* impl_;
};

// The scanner over the lines of a data file.
void SkipToFirstBlock(DataFile& file);
std::string_view ExtractElementText(std::string_view line);
// kind is "Text" or "Number". The end of the readable text counts as a block boundary.
// A text longer than DataFile::kMaxTextBytes comes back cut to that length.
std::string ReadField(DataFile& file, std::string_view kind);
// As ReadField, without a copy: the view stays valid until the next read from the file.
std::string_view ReadFieldView(DataFile& file, std::string_view kind);
// Reads one row and appends its record; false when the data ends. A number cell whose text is
// longer than DataFile::kMaxTextBytes fails its conversion.
bool ReadRecord(DataFile& file, RecordList& records);
// Empties records, skips to the first block and reads records until the data ends.
void ReadRecords(DataFile& file, RecordList& records);

// Opens path, empties records, skips to the first block and reads records until the data
// ends, closing the file in every case. Records read before a failing row stay in the list.
void ReadDataFile(const std::string& path, RecordList& records);

}  // namespace zyn
