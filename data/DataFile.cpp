#include "data/DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "data/RunError.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zyn {

namespace {

constexpr char kCtrlZ = 26;
constexpr std::size_t kLinePadding = 64;
constexpr std::string_view kBoundary = "SupBook";

// First CR, LF or Ctrl-Z in [p, end), or nullptr.
const char* FindLineEnd(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i sub = _mm_set1_epi8(kCtrlZ);
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)), _mm_cmpeq_epi8(v, sub));
        const int mask = _mm_movemask_epi8(hit);
        if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        const char c = *p;
        if (c == '\r' || c == '\n' || c == kCtrlZ) return p;
    }
    return nullptr;
}

bool Contains(std::string_view line, std::string_view needle) {
    const char* p = line.data();
    const char* const end = line.data() + line.size();
    const std::size_t n = needle.size();
    while (static_cast<std::size_t>(end - p) >= n) {
        p = static_cast<const char*>(std::memchr(p, needle[0], static_cast<std::size_t>(end - p) - n + 1));
        if (p == nullptr) return false;
        if (std::memcmp(p + 1, needle.data() + 1, n - 1) == 0) return true;
        ++p;
    }
    return false;
}

enum class LineKind { Other, Boundary, Cell };

struct LineScan {
    LineKind kind = LineKind::Other;
    std::string_view text;  // ExtractElementText of a cell line
};

#if defined(__SSE2__)
// A marker of at most 16 bytes, compared in one step.
struct Pattern {
    __m128i bytes;
    unsigned mask;
    std::size_t size;
};

Pattern MakePattern(std::string_view text) {
    alignas(16) char tmp[16] = {};
    std::memcpy(tmp, text.data(), text.size());
    return Pattern{_mm_load_si128(reinterpret_cast<const __m128i*>(tmp)), (1u << text.size()) - 1u, text.size()};
}

bool MatchesAt(const char* p, std::size_t pos, std::size_t n, const Pattern& pattern) {
    if (n - pos < pattern.size) return false;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + pos));
    const unsigned eq = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, pattern.bytes)));
    return (eq & pattern.mask) == pattern.mask;
}

// What one pass over a line's 16-byte blocks learns for cutting out a cell: the first '<', the
// first '>', the first '<' after that '>', and whether an element pattern starts at some '<'.
struct ElementMarks {
    static constexpr std::size_t npos = std::string_view::npos;
    bool cell = false;
    std::size_t firstLt = npos, firstGt = npos, ltAfterGt = npos;

    // ltMask and gtMask hold the '<' and '>' of the block at off, already cut to the line.
    void Note(const char* p, std::size_t off, std::size_t n, const Pattern& element, unsigned ltMask, unsigned gtMask) {
        for (unsigned m = ltMask; !cell && m != 0; m &= m - 1)
            cell = MatchesAt(p, off + static_cast<std::size_t>(__builtin_ctz(m)), n, element);
        if (firstLt == npos && ltMask != 0) firstLt = off + static_cast<std::size_t>(__builtin_ctz(ltMask));
        if (firstGt == npos && gtMask != 0) firstGt = off + static_cast<std::size_t>(__builtin_ctz(gtMask));
        if (firstGt != npos && ltAfterGt == npos) {
            unsigned m = ltMask;
            if (firstGt >= off) m &= ~((2u << (firstGt - off)) - 1u);  // only '<' after the '>'
            if (m != 0) ltAfterGt = off + static_cast<std::size_t>(__builtin_ctz(m));
        }
    }

    // The cell's text as ExtractElementText cuts it from a line of n characters at p.
    std::string_view Text(const char* p, std::size_t n) const {
        const std::size_t start = firstGt == npos ? 0 : firstGt + 1;
        const std::size_t stop = firstGt == npos ? firstLt : ltAfterGt;
        return std::string_view(p + start, (stop == npos ? n : stop) - start);
    }
};

// One pass over a line for ReadField: a block boundary (the line holds "SupBook", whatever else
// it holds), a cell of the wanted kind (it holds the element marker "<x:" + kind, and its text is
// cut out as ExtractElementText does), or anything else.
// Lines handed in here are views into a DataFile buffer, which is padded so that whole 16-byte
// blocks may be loaded past the line's end; bits beyond the end are masked off.
LineScan ScanLine(std::string_view line, const Pattern& element) {
    static const Pattern boundary = MakePattern(kBoundary);
    const char* const p = line.data();
    const std::size_t n = line.size();
    const __m128i esses = _mm_set1_epi8('S');
    const __m128i opens = _mm_set1_epi8('<');
    const __m128i closes = _mm_set1_epi8('>');
    ElementMarks marks;
    for (std::size_t off = 0; off < n; off += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + off));
        unsigned sMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, esses)));
        unsigned ltMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, opens)));
        unsigned gtMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, closes)));
        if (n - off < 16) {
            const unsigned keep = (1u << (n - off)) - 1u;
            sMask &= keep;
            ltMask &= keep;
            gtMask &= keep;
        }
        for (; sMask != 0; sMask &= sMask - 1) {
            if (MatchesAt(p, off + static_cast<std::size_t>(__builtin_ctz(sMask)), n, boundary)) return {LineKind::Boundary, {}};
        }
        marks.Note(p, off, n, element, ltMask, gtMask);
    }
    if (!marks.cell) return {};
    return {LineKind::Cell, marks.Text(p, n)};
}
#endif

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A missing file is "Datei nicht gefunden"; a path whose folder is missing is an invalid name.
int OpenErrorNumber(const std::string& path, int error) {
    if (error != ENOENT) return error;
    const std::size_t slash = path.find_last_of('/');
    std::string parent;
    if (slash == std::string::npos) {
        parent = ".";
    } else if (slash == 0) {
        parent = "/";
    } else {
        parent = path.substr(0, slash);
    }
    return DirectoryExists(parent) ? ENOENT : ENOTDIR;
}

}  // namespace

struct DataFile::Impl {
    int fd = -1;
    std::size_t byteSize = 0;
    bool fromMemory = false;
    std::string_view memory;
    std::size_t memoryPos = 0;

    std::unique_ptr<char[]> buf;
    std::size_t capacity = 0;
    std::size_t begin = 0;  // unread bytes are buf[begin, end)
    std::size_t end = 0;
    bool sourceDone = false;  // nothing more to read from the source
    bool textEnded = false;   // Ctrl-Z or physical end reached: every further line is empty
    bool pendingLf = false;   // the last line ended with CR; a LF right after it is skipped

    explicit Impl(std::size_t bufferSize) : capacity(bufferSize < 16 ? 16 : bufferSize) { buf = Allocate(capacity); }

    // The padding behind the buffer lets the line scanner load whole 16-byte blocks.
    static std::unique_ptr<char[]> Allocate(std::size_t size) {
        std::unique_ptr<char[]> p(new char[size + kLinePadding]);
        std::memset(p.get() + size, 0, kLinePadding);
        return p;
    }

    ~Impl() { CloseFd(); }

    void CloseFd() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }

    // Reads more bytes behind end; keeps what is unread. Sets sourceDone at the physical end.
    void Fill() {
        if (sourceDone) return;
        if (begin == end) begin = end = 0;
        const std::size_t room = capacity - end;
        if (room == 0) return;
        if (fromMemory) {
            const std::size_t n = std::min(room, memory.size() - memoryPos);
            std::memcpy(buf.get() + end, memory.data() + memoryPos, n);
            memoryPos += n;
            end += n;
            if (n == 0) sourceDone = true;
            return;
        }
        if (fd < 0) {
            sourceDone = true;
            return;
        }
        for (;;) {
            const ssize_t n = ::read(fd, buf.get() + end, room);
            if (n > 0) {
                end += static_cast<std::size_t>(n);
                return;
            }
            if (n == 0) {
                sourceDone = true;
                return;
            }
            if (errno != EINTR) RaiseIoError(errno);
        }
    }

    // Makes room behind the unread bytes: moves them to the front, or doubles the buffer when
    // they fill it (a line longer than the buffer).
    void MakeRoom() {
        if (begin > 0) {
            std::memmove(buf.get(), buf.get() + begin, end - begin);
            end -= begin;
            begin = 0;
        }
        if (end == capacity) {
            std::unique_ptr<char[]> bigger = Allocate(capacity * 2);
            std::memcpy(bigger.get(), buf.get(), end);
            buf = std::move(bigger);
            capacity *= 2;
        }
    }

    // Skips a LF that completes a CR line end and notes the end of the readable text.
    // Returns false when no further line exists.
    bool Prepare() {
        if (textEnded) return false;
        if (begin == end) Fill();
        if (pendingLf) {
            pendingLf = false;
            if (begin < end && buf[begin] == '\n') {
                ++begin;
                if (begin == end) Fill();
            }
        }
        if (begin == end || buf[begin] == kCtrlZ) {
            textEnded = true;
            return false;
        }
        return true;
    }

    // The common case inline: the whole next line is already in the buffer.
    bool ReadLine(std::string_view& line) {
        if (!textEnded) {
            std::size_t b = begin;
            if (pendingLf && b < end && buf[b] == '\n') ++b;
            if (b < end && buf[b] != kCtrlZ) {
                const char* hit = FindLineEnd(buf.get() + b, buf.get() + end);
                if (hit != nullptr) {
                    const std::size_t pos = static_cast<std::size_t>(hit - buf.get());
                    line = std::string_view(buf.get() + b, pos - b);
                    begin = pos + 1;
                    pendingLf = *hit == '\r';
                    if (*hit == kCtrlZ) textEnded = true;
                    return true;
                }
            }
        }
        return ReadLineSlow(line);
    }

#if defined(__SSE2__)
    // ReadLine and ScanLine in one pass over the bytes when the whole line is in the buffer:
    // the line end, "S", "<" and ">" are found by the same 16-byte compares. A marker candidate
    // seen before the line end is known is still sound: a marker holds no line-end byte, so one
    // that would reach past the line end cannot match. False at the end of the readable text.
    bool ScanNextLine(const Pattern& element, LineScan& scan) {
        static const Pattern boundary = MakePattern(kBoundary);
        constexpr std::size_t npos = std::string_view::npos;
        if (!textEnded) {
            std::size_t b = begin;
            if (pendingLf && b < end && buf[b] == '\n') ++b;
            if (b < end && buf[b] != kCtrlZ) {
                const char* const p = buf.get() + b;
                const std::size_t avail = end - b;
                const __m128i cr = _mm_set1_epi8('\r');
                const __m128i lf = _mm_set1_epi8('\n');
                const __m128i sub = _mm_set1_epi8(kCtrlZ);
                const __m128i esses = _mm_set1_epi8('S');
                const __m128i opens = _mm_set1_epi8('<');
                const __m128i closes = _mm_set1_epi8('>');
                ElementMarks marks;
                bool isBoundary = false;
                for (std::size_t off = 0; off < avail; off += 16) {
                    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + off));
                    unsigned term = static_cast<unsigned>(_mm_movemask_epi8(
                        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)), _mm_cmpeq_epi8(v, sub))));
                    if (avail - off < 16) term &= (1u << (avail - off)) - 1u;  // bytes past the buffered data
                    unsigned inLine = 0xFFFFu;
                    if (term != 0) {
                        inLine = (1u << __builtin_ctz(term)) - 1u;
                    } else if (avail - off < 16) {
                        break;  // the line runs past the buffered data
                    }
                    if (!isBoundary) {
                        for (unsigned m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, esses))) & inLine; m != 0;
                             m &= m - 1) {
                            if (MatchesAt(p, off + static_cast<std::size_t>(__builtin_ctz(m)), npos, boundary)) {
                                isBoundary = true;
                                break;
                            }
                        }
                    }
                    if (!isBoundary) {
                        const unsigned ltMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, opens))) & inLine;
                        const unsigned gtMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, closes))) & inLine;
                        marks.Note(p, off, npos, element, ltMask, gtMask);
                    }
                    if (term != 0) {
                        const std::size_t n = off + static_cast<std::size_t>(__builtin_ctz(term));
                        const char endChar = p[n];
                        begin = b + n + 1;
                        pendingLf = endChar == '\r';
                        if (endChar == kCtrlZ) textEnded = true;
                        if (isBoundary) {
                            scan = {LineKind::Boundary, {}};
                        } else if (marks.cell) {
                            scan = {LineKind::Cell, marks.Text(p, n)};
                        } else {
                            scan = {};
                        }
                        return true;
                    }
                }
            }
        }
        std::string_view line;
        if (!ReadLineSlow(line)) return false;
        scan = ScanLine(line, element);
        return true;
    }

    // ReadField for an element marker.
    std::string_view ReadCell(const Pattern& element) {
        LineScan scan;
        while (ScanNextLine(element, scan)) {
            if (scan.kind == LineKind::Boundary) return {};
            if (scan.kind == LineKind::Cell) return scan.text;
        }
        // The end of the readable text ends the block like a boundary line.
        return {};
    }
#endif

    [[gnu::noinline]] bool ReadLineSlow(std::string_view& line) {
        if (!Prepare()) {
            line = {};
            return false;
        }
        std::size_t scanned = begin;
        for (;;) {
            const char* hit = FindLineEnd(buf.get() + scanned, buf.get() + end);
            if (hit != nullptr) {
                const std::size_t pos = static_cast<std::size_t>(hit - buf.get());
                line = std::string_view(buf.get() + begin, pos - begin);
                begin = pos + 1;
                if (*hit == '\r') {
                    pendingLf = true;
                } else if (*hit == kCtrlZ) {
                    textEnded = true;
                }
                return true;
            }
            if (sourceDone) {
                // The last line has no line end.
                line = std::string_view(buf.get() + begin, end - begin);
                begin = end;
                textEnded = true;
                return true;
            }
            const std::size_t already = end - begin;
            MakeRoom();
            scanned = begin + already;
            Fill();
        }
    }
};

DataFile::DataFile(const std::string& path) : DataFile(path, kDefaultBufferSize) {}

DataFile::DataFile(const std::string& path, std::size_t bufferSize) : impl_(nullptr) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) RaiseIoError(OpenErrorNumber(path, errno));
    // Opening a directory succeeds on this platform; reading it is an I/O error.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        RaiseIoError(error);
    }
    try {
        impl_ = new Impl(bufferSize);
    } catch (...) {
        ::close(fd);
        throw;
    }
    impl_->fd = fd;
    impl_->byteSize = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
}

DataFile::DataFile(InMemory source, std::size_t bufferSize) : impl_(new Impl(bufferSize)) {
    impl_->fromMemory = true;
    impl_->memory = source.bytes;
    impl_->byteSize = source.bytes.size();
}

DataFile::~DataFile() { delete impl_; }

std::string_view DataFile::ReadLine() {
    std::string_view line;
    impl_->ReadLine(line);
    return line;
}

bool DataFile::ReadLine(std::string_view& line) { return impl_->ReadLine(line); }

bool DataFile::AtEnd() const { return !impl_->Prepare(); }

std::size_t DataFile::ByteSize() const { return impl_->byteSize; }

void DataFile::Close() {
    impl_->CloseFd();
    impl_->sourceDone = true;
    impl_->textEnded = true;
}

void SkipToFirstBlock(DataFile& file) {
    std::string_view line;
    while (file.ReadLine(line)) {
        if (Contains(line, kBoundary)) return;
    }
}

std::string_view ExtractElementText(std::string_view line) {
    const std::size_t gt = line.find('>');
    const std::size_t start = gt == std::string_view::npos ? 0 : gt + 1;
    const std::size_t lt = line.find('<', start);
    return lt == std::string_view::npos ? line.substr(start) : line.substr(start, lt - start);
}

std::string_view ReadFieldView(DataFile& file, std::string_view kind) {
    std::string_view line;
#if defined(__SSE2__)
    if (kind.size() <= 13) {
        char marker[16];
        std::memcpy(marker, "<x:", 3);
        std::memcpy(marker + 3, kind.data(), kind.size());
        return file.impl_->ReadCell(MakePattern(std::string_view(marker, kind.size() + 3)));
    }
#endif
    const std::string element = "<x:" + std::string(kind);
    while (file.impl_->ReadLine(line)) {
        if (Contains(line, kBoundary)) return {};
        if (Contains(line, element)) return ExtractElementText(line);
    }
    return {};
}

std::string ReadField(DataFile& file, std::string_view kind) { return std::string(ReadFieldView(file, kind)); }

namespace {

// Row layout: date, four prices, six trends, thirteen numbers.
constexpr bool kIsText[20] = {true, false, false, false, false, true,  true,  true,  true,  true,
                              true, false, false, false, false, false, false, false, false, false};
constexpr std::size_t kBytesPerRowGuess = 640;
constexpr std::size_t kMaxRowsReserved = std::size_t{1} << 20;  // a huge file need not hold rows only
// Cells in the order BuildRecord converts them (the order decides which message is seen).
constexpr int kConversionOrder[14] = {0, 1, 2, 3, 4, 11, 12, 13, 14, 15, 16, 17, 18, 19};

}  // namespace

bool ReadRecord(DataFile& file, RecordList& records) {
    // Each cell is converted as soon as it is read, so nothing is copied. A failing cell keeps
    // its text; once all twenty cells are read, the first failure in conversion order is raised
    // with the message BuildRecord would give.
    double reals[20];
    std::int32_t trends[20];
    unsigned failedMask = 0;
    std::unique_ptr<std::array<std::string, 20>> failedText;  // only made when a cell fails
#if defined(__SSE2__)
    static const Pattern textElement = MakePattern("<x:Text");
    static const Pattern numberElement = MakePattern("<x:Number");
    DataFile::Impl& impl = *file.impl_;
    auto readField = [&impl](bool text) { return impl.ReadCell(text ? textElement : numberElement); };
#else
    auto readField = [&file](bool text) { return ReadFieldView(file, text ? "Text" : "Number"); };
#endif
    for (int i = 0; i < 20; ++i) {
        const std::string_view text = readField(kIsText[i]);
        bool ok = true;
        if (i == 0) {
            if (text.empty()) return false;
            ok = TryParseRecordDate(text, reals[0]);
        } else if (kIsText[i]) {
            trends[i] = ParseTrend(text);
        } else {
            ok = TryParseDecimal(text, reals[i]);
        }
        if (!ok) {
            if (!failedText) failedText = std::make_unique<std::array<std::string, 20>>();
            failedMask |= 1u << i;
            (*failedText)[static_cast<std::size_t>(i)].assign(text);
        }
    }
    if (failedMask != 0) {
        for (int i : kConversionOrder) {
            if ((failedMask & (1u << i)) == 0) continue;
            const std::string& text = (*failedText)[static_cast<std::size_t>(i)];
            if (i == 0) {
                ParseRecordDate(text);
            } else {
                ParseDecimal(text);
            }
        }
        // Not reached: the throwing forms fail exactly where the non-throwing ones do.
        throw std::logic_error("cell conversion disagrees with its checked form");
    }
    DailyRecord& r = records.emplace_back();
    r.Date = reals[0];
    r.Open = reals[1];
    r.High = reals[2];
    r.Low = reals[3];
    r.Close = reals[4];
    r.Midpoint = (r.High + r.Low) * 0.5;
    r.RangeHigh = reals[11];
    r.RangeLow = reals[12];
    r.Pivot = reals[13];
    r.R1 = reals[14];
    r.R2 = reals[15];
    r.R3 = reals[16];
    r.S1 = reals[17];
    r.S2 = reals[18];
    r.S3 = reals[19];
    r.Trend1 = trends[5];
    r.Trend2 = trends[6];
    r.Trend3 = trends[7];
    r.Trend4 = trends[8];
    r.Trend5 = trends[9];
    r.Trend6 = trends[10];
    r.TrendSum = r.Trend1 + r.Trend2 + r.Trend3 + r.Trend4 + r.Trend6;
    return true;
}

void ReadRecords(DataFile& file, RecordList& records) {
    records.clear();
    // A row takes some 25 lines of about 30 bytes; reserving for the file's size spares the
    // list most of its regrowth on big files (a guess too small just grows as usual).
    records.reserve(std::min(file.ByteSize() / kBytesPerRowGuess, kMaxRowsReserved));
    SkipToFirstBlock(file);
    while (ReadRecord(file, records)) {
    }
}

void ReadDataFile(const std::string& path, RecordList& records) {
    DataFile file(path);
    ReadRecords(file, records);
    file.Close();
}

}  // namespace zyn
