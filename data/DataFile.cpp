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

#include "data/RunError.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zyn {

namespace {

constexpr char kCtrlZ = 26;
constexpr std::size_t npos = std::string_view::npos;
constexpr std::size_t kBlock = 16;
// Bytes behind the buffer, so that a block or a marker compare may load 16 bytes from any
// position inside it.
constexpr std::size_t kLinePadding = 64;
constexpr std::size_t kMinBufferSize = 64;

// The bytes of one block of a line that the rules look at, one bit per byte.
struct BlockMasks {
    unsigned term;  // CR, LF or Ctrl-Z: the line ends there
    unsigned ess;   // 'S', where "SupBook" may start
    unsigned lt;    // '<'
    unsigned gt;    // '>'
};

// The same masks byte by byte, for fewer than 16 bytes at the very end of the source (and for
// every block where the vector compare is missing).
BlockMasks ClassifyBytes(const char* p, std::size_t n) {
    BlockMasks m{0, 0, 0, 0};
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned bit = 1u << i;
        switch (p[i]) {
        case '\r':
        case '\n':
        case kCtrlZ:
            m.term |= bit;
            break;
        case 'S':
            m.ess |= bit;
            break;
        case '<':
            m.lt |= bit;
            break;
        case '>':
            m.gt |= bit;
            break;
        default:
            break;
        }
    }
    return m;
}

[[gnu::always_inline]] inline BlockMasks ClassifyBlock(const char* p) {
#if defined(__SSE2__)
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i term = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                      _mm_cmpeq_epi8(v, _mm_set1_epi8(kCtrlZ)));
    auto bits = [](__m128i hits) { return static_cast<unsigned>(_mm_movemask_epi8(hits)); };
    return {bits(term), bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('S'))), bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('<'))),
            bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('>')))};
#else
    return ClassifyBytes(p, kBlock);
#endif
}

unsigned LowestBit(unsigned mask) { return static_cast<unsigned>(__builtin_ctz(mask)); }

// A literal substring searched for in lines: the block boundary or an element marker.
class Marker {
public:
    explicit Marker(std::string_view text) : text_(text), size_(text.size()) {
#if defined(__SSE2__)
        alignas(16) char head[kBlock] = {};
        const std::size_t n = std::min(text.size(), kBlock);
        std::memcpy(head, text.data(), n);
        head_ = _mm_load_si128(reinterpret_cast<const __m128i*>(head));
        headMask_ = n == kBlock ? 0xFFFFu : (1u << n) - 1u;
#endif
    }

    std::size_t Size() const { return size_; }

    // Whether the marker starts at p; limit ends the bytes that exist. p lies inside a padded
    // buffer, so the 16 bytes from p may be loaded.
    [[gnu::always_inline]] bool At(const char* p, const char* limit) const {
        if (static_cast<std::size_t>(limit - p) < size_) return false;
#if defined(__SSE2__)
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned eq = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, head_)));
        if ((eq & headMask_) != headMask_) return false;
        return size_ <= kBlock || std::memcmp(p + kBlock, text_.data() + kBlock, size_ - kBlock) == 0;
#else
        return std::memcmp(p, text_.data(), size_) == 0;
#endif
    }

private:
    std::string text_;
    std::size_t size_;
#if defined(__SSE2__)
    __m128i head_;
    unsigned headMask_;
#endif
};

const Marker kBoundaryMarker("SupBook");

std::string ElementMarkerText(std::string_view kind) { return "<x:" + std::string(kind); }

// What the rules learn from one line, block by block: whether it is a block boundary (it holds
// "SupBook", whatever else it holds), whether it holds the wanted element marker, and where
// ExtractElementText cuts its text: the first '<', the first '>', the first '<' after that '>'.
// Positions count from the start of the line.
struct LineMarks {
    bool boundary = false;
    bool cell = false;
    std::size_t firstLt = npos, firstGt = npos, ltAfterGt = npos;

    // m holds the masks of the block at p, already cut to the line; off is the block's position.
    template <bool kCell>
    [[gnu::always_inline]] void Note(const char* p, std::size_t off, const BlockMasks& m, const Marker& element,
                                     const char* limit) {
        for (unsigned s = m.ess; s != 0; s &= s - 1) {
            if (kBoundaryMarker.At(p + LowestBit(s), limit)) {
                boundary = true;
                return;
            }
        }
        if constexpr (kCell) {
            for (unsigned l = m.lt; !cell && l != 0; l &= l - 1) cell = element.At(p + LowestBit(l), limit);
        }
        if (firstLt == npos && m.lt != 0) firstLt = off + LowestBit(m.lt);
        if (firstGt == npos && m.gt != 0) firstGt = off + LowestBit(m.gt);
        if (firstGt != npos && ltAfterGt == npos) {
            unsigned l = m.lt;
            if (firstGt >= off) l &= ~((2u << (firstGt - off)) - 1u);  // only '<' after the '>'
            if (l != 0) ltAfterGt = off + LowestBit(l);
        }
    }

    // The cell's text runs from TextStart() to TextStop(); npos: to the end of the line.
    std::size_t TextStart() const { return firstGt == npos ? 0 : firstGt + 1; }
    std::size_t TextStop() const { return firstGt == npos ? firstLt : ltAfterGt; }
};

enum class LineKind { Other, Boundary, Cell };

struct LineScan {
    LineKind kind = LineKind::Other;
    std::string_view text;  // the cell's text, or the whole line when that was asked for
    bool cut = false;       // the text was longer than DataFile::kMaxTextBytes; text is its start
};

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

// The buffer never grows past its size (but for a marker longer than about half of it): a line
// longer than the buffer is scanned as it streams through, and only the bytes of the text it
// may yield are kept aside, at most kMaxTextBytes of them. Every byte is classified once.
struct DataFile::Impl {
    int fd = -1;
    std::size_t byteSize = 0;
    bool fromMemory = false;
    std::string_view memory;
    std::size_t memoryPos = 0;

    std::unique_ptr<char[]> buf;
    std::size_t capacity = 0;
    std::size_t begin = 0;  // unread bytes are buf[begin, end); a line being scanned starts at begin
    std::size_t end = 0;
    bool sourceDone = false;  // nothing more to read from the source
    bool textEnded = false;   // Ctrl-Z or physical end reached: every further line is empty
    bool pendingLf = false;   // the last line ended with CR; a LF right after it is skipped

    // The start of a text whose line did not fit the buffer.
    std::string held;
    std::size_t heldFrom = npos;  // position in the line of held's first byte
    bool heldCut = false;

    explicit Impl(std::size_t bufferSize) : capacity(std::max(bufferSize, kMinBufferSize)) { buf = Allocate(capacity); }

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

    // Reads more bytes behind end. Sets sourceDone at the physical end.
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

    // Only a marker longer than about half the buffer needs a bigger one; called between lines.
    void EnsureCapacity(std::size_t wanted) {
        if (capacity >= wanted) return;
        std::unique_ptr<char[]> bigger = Allocate(wanted);
        std::memcpy(bigger.get(), buf.get() + begin, end - begin);
        end -= begin;
        begin = 0;
        buf = std::move(bigger);
        capacity = wanted;
    }

    // Skips a LF that completes a CR line end and notes the end of the readable text.
    // Returns false when no further line exists.
    bool StartLine() {
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

    void Keep(const char* p, std::size_t n) {
        const std::size_t room = kMaxTextBytes - held.size();
        if (n > room) {
            n = room;
            heldCut = true;
        }
        held.append(p, n);
    }

    // The line's bytes [dropped, dropped + n) at p are about to leave the buffer: keeps those
    // that belong to the text the line may yield, as far as the marks seen so far tell.
    void Hold(const LineMarks& marks, bool wholeLine, std::size_t dropped, const char* p, std::size_t n) {
        const std::size_t from = wholeLine ? 0 : marks.TextStart();
        const std::size_t stop = wholeLine ? npos : marks.TextStop();
        if (heldFrom != from) {
            held.clear();
            heldFrom = from;
            heldCut = false;
        }
        const std::size_t a = std::max(from, dropped);
        const std::size_t b = std::min(stop, dropped + n);
        if (a < b && !heldCut) Keep(p + (a - dropped), b - a);
    }

    // Reads the next line and tells what the line rules make of it: a block boundary, a cell
    // holding the element marker (with its text, when kCell), or anything else. With kWholeLine
    // the text is the line itself and no marker is looked for. False at the end of the readable
    // text.
    template <bool kWholeLine, bool kCell>
    bool NextLine(const Marker& element, LineScan& scan) {
        constexpr bool wholeLine = kWholeLine;
        const std::size_t marker = std::max(kBoundaryMarker.Size(), kCell ? element.Size() : 0);
        // A block is classified only once the bytes a marker starting in it needs are in, so
        // that it is compared against real bytes; at the physical end missing bytes fail it.
        const std::size_t lookahead = kBlock + marker;
        EnsureCapacity(2 * lookahead);
        if (!StartLine()) return false;
        constexpr bool keepText = kWholeLine || kCell;
        LineMarks marks;
        std::size_t pos = begin;   // next byte to classify
        std::size_t dropped = 0;   // bytes of the line already gone from the buffer
        heldFrom = npos;
        // Classifies the block at pos (avail bytes of it exist); true when the line ends in it.
        auto step = [&](const BlockMasks& m, std::size_t avail) __attribute__((always_inline)) {
            const char* const p = buf.get() + pos;
            const std::size_t off = dropped + (pos - begin);
            if (m.term != 0) {
                const unsigned t = LowestBit(m.term);
                if (!wholeLine && !marks.boundary) {
                    const unsigned inLine = (1u << t) - 1u;
                    marks.Note<kCell>(p, off, {0, m.ess & inLine, m.lt & inLine, m.gt & inLine}, element, buf.get() + end);
                }
                FinishLine(marks, wholeLine, dropped, pos + t, scan);
                return true;
            }
            if (!wholeLine && !marks.boundary) marks.Note<kCell>(p, off, m, element, buf.get() + end);
            pos += std::min(avail, kBlock);
            return false;
        };
        for (;;) {
            while (end - pos >= lookahead) {
                if (step(ClassifyBlock(buf.get() + pos), kBlock)) return true;
            }
            if (sourceDone) {
                while (pos < end) {
                    const std::size_t avail = end - pos;
                    const char* const p = buf.get() + pos;
                    if (step(avail >= kBlock ? ClassifyBlock(p) : ClassifyBytes(p, avail), avail)) return true;
                }
                FinishLine(marks, wholeLine, dropped, end, scan);  // the last line has no line end
                return true;
            }
            if (begin > 0) {
                std::memmove(buf.get(), buf.get() + begin, end - begin);
                pos -= begin;
                end -= begin;
                begin = 0;
            } else if (end == capacity) {
                // The line fills the buffer: what is classified leaves it.
                if (keepText && (wholeLine || !marks.boundary)) Hold(marks, wholeLine, dropped, buf.get(), pos);
                std::memmove(buf.get(), buf.get() + pos, end - pos);
                dropped += pos;
                end -= pos;
                pos = 0;
            }
            Fill();
        }
    }

    // The line ends at buf[stop] (a line end character, or the physical end when stop == end).
    [[gnu::always_inline]] void FinishLine(const LineMarks& marks, bool wholeLine, std::size_t dropped, std::size_t stop, LineScan& scan) {
        scan.kind = marks.boundary ? LineKind::Boundary : marks.cell ? LineKind::Cell : LineKind::Other;
        scan.text = {};
        scan.cut = false;
        if (wholeLine || scan.kind == LineKind::Cell) {
            const std::size_t length = dropped + (stop - begin);
            const std::size_t from = wholeLine ? 0 : marks.TextStart();
            const std::size_t to = wholeLine ? length : std::min(marks.TextStop(), length);
            if (from >= dropped) {
                scan.text = std::string_view(buf.get() + begin + (from - dropped), to - from);
            } else {
                // Its start left the buffer and is held (Hold ran for this text's start).
                if (to > dropped && !heldCut) Keep(buf.get() + begin, to - dropped);
                scan.text = held;
                scan.cut = heldCut;
            }
        }
        if (stop == end) {
            begin = end;
            textEnded = true;
            return;
        }
        const char endChar = buf[stop];
        begin = stop + 1;
        pendingLf = endChar == '\r';
        if (endChar == kCtrlZ) textEnded = true;
    }

    // ReadField for an element marker. The end of the readable text ends the block like a
    // boundary line.
    LineScan ReadCell(const Marker& element) {
        LineScan scan;
        while (NextLine<false, true>(element, scan)) {
            if (scan.kind == LineKind::Boundary) return {};
            if (scan.kind == LineKind::Cell) return scan;
        }
        return {};
    }
};

DataFile::DataFile(const std::string& path) : DataFile(path, kDefaultBufferSize) {}

DataFile::DataFile(const std::string& path, std::size_t bufferSize) : impl_(nullptr) {
    // Not blocking: a FIFO without a writer would hold the open for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) RaiseIoError(OpenErrorNumber(path, errno));
    // Only a regular file is a data file. Opening a directory succeeds on this platform, reading
    // it is an I/O error; a FIFO, socket or device would wait or stream without end, so it is
    // refused as a file with no data behind its name.
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (S_ISDIR(st.st_mode)) {
        error = EISDIR;
    } else if (!S_ISREG(st.st_mode)) {
        error = ENXIO;
    }
    if (error != 0) {
        ::close(fd);
        RaiseIoError(error);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    try {
        impl_ = new Impl(bufferSize);
    } catch (...) {
        ::close(fd);
        throw;
    }
    impl_->fd = fd;
    impl_->byteSize = static_cast<std::size_t>(st.st_size);
}

DataFile::DataFile(InMemory source, std::size_t bufferSize) : impl_(new Impl(bufferSize)) {
    impl_->fromMemory = true;
    impl_->memory = source.bytes;
    impl_->byteSize = source.bytes.size();
}

DataFile::~DataFile() { delete impl_; }

std::string_view DataFile::ReadLine() {
    std::string_view line;
    ReadLine(line);
    return line;
}

bool DataFile::ReadLine(std::string_view& line) {
    LineScan scan;
    const bool more = impl_->NextLine<true, false>(kBoundaryMarker, scan);
    line = scan.text;
    return more;
}

bool DataFile::AtEnd() const { return !impl_->StartLine(); }

std::size_t DataFile::ByteSize() const { return impl_->byteSize; }

void DataFile::Close() {
    impl_->CloseFd();
    impl_->sourceDone = true;
    impl_->textEnded = true;
}

void SkipToFirstBlock(DataFile& file) {
    LineScan scan;
    while (file.impl_->NextLine<false, false>(kBoundaryMarker, scan)) {
        if (scan.kind == LineKind::Boundary) return;
    }
}

std::string_view ExtractElementText(std::string_view line) {
    const std::size_t gt = line.find('>');
    const std::size_t start = gt == std::string_view::npos ? 0 : gt + 1;
    const std::size_t lt = line.find('<', start);
    return lt == std::string_view::npos ? line.substr(start) : line.substr(start, lt - start);
}

std::string_view ReadFieldView(DataFile& file, std::string_view kind) {
    return file.impl_->ReadCell(Marker(ElementMarkerText(kind))).text;
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
    // the message it would raise (never its whole text); once all twenty cells are read, the
    // first failure in conversion order is raised, as BuildRecord would.
    double reals[20];
    std::int32_t trends[20];
    unsigned failedMask = 0;
    std::unique_ptr<std::array<std::string, 20>> messages;  // only made when a cell fails
    static const Marker textElement(ElementMarkerText("Text"));
    static const Marker numberElement(ElementMarkerText("Number"));
    DataFile::Impl& impl = *file.impl_;
    for (int i = 0; i < 20; ++i) {
        const LineScan cell = impl.ReadCell(kIsText[i] ? textElement : numberElement);
        const std::string_view text = cell.text;
        bool ok = true;
        if (i == 0) {
            if (text.empty()) return false;
            // Only the first ten characters of a date are read, so a cut text still converts.
            ok = TryParseRecordDate(text, reals[0]);
        } else if (kIsText[i]) {
            trends[i] = ParseTrend(text);  // a cut text is far longer than any trend word
        } else {
            // A number longer than the kept text is no number the viewer could show.
            ok = !cell.cut && TryParseDecimal(text, reals[i]);
        }
        if (!ok) {
            if (!messages) messages = std::make_unique<std::array<std::string, 20>>();
            failedMask |= 1u << i;
            (*messages)[static_cast<std::size_t>(i)] = i == 0 ? RecordDateErrorMessage(text) : DecimalErrorMessage(text);
        }
    }
    if (failedMask != 0) {
        for (int i : kConversionOrder) {
            if ((failedMask & (1u << i)) != 0) throw RunError((*messages)[static_cast<std::size_t>(i)]);
        }
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
