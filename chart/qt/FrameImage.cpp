#include "chart/qt/FrameImage.h"

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace zyn::chart {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

struct TMapping {
    void* At;
    size_t Size;
};

void Unmap(void* info) {
    auto* m = static_cast<TMapping*>(info);
    ::munmap(m->At, m->Size);
    delete m;
}

}  // namespace

QImage NewFrameImage(int width, int height) {
    const qsizetype line = qsizetype(width) * 4;
    const size_t bytes = size_t(line) * size_t(height);
#ifdef MADV_HUGEPAGE
    if (bytes >= kHugePage) {
        // One page more than the image needs, so that it can start on a huge page's boundary.
        const size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage + kHugePage;
        void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped != MAP_FAILED) {
            auto* start = reinterpret_cast<uchar*>((reinterpret_cast<std::uintptr_t>(mapped) + kHugePage - 1) & ~(kHugePage - 1));
            ::madvise(start, size - kHugePage, MADV_HUGEPAGE);
            return QImage(start, width, height, line, QImage::Format_RGB32, Unmap, new TMapping{mapped, size});
        }
    }
#endif
    return QImage(width, height, QImage::Format_RGB32);
}

}  // namespace zyn::chart
