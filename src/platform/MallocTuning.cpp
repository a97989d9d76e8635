#include "platform/MallocTuning.h"

#include <cstdint>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace folvane::PdfEngine {

namespace {

constexpr std::uintptr_t HugePage = 2 * 1024 * 1024;
constexpr int HeapStep = 32 * 1024 * 1024;

std::uintptr_t AlignUp(std::uintptr_t a) { return (a + HugePage - 1) & ~(HugePage - 1); }

// One user-interface thread opens and closes merges.
int active = 0;
std::uintptr_t adviseFrom = 0;

}  // namespace

MallocTuning::MallocTuning()
{
    if (active++ == 0) {
        ::mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        ::mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
        ::mallopt(M_TOP_PAD, HeapStep);
        adviseFrom = AlignUp(reinterpret_cast<std::uintptr_t>(::sbrk(0)));
    }
    AdviseHeap();
}

MallocTuning::~MallocTuning()
{
    if (--active == 0) {
        ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
        ::mallopt(M_TRIM_THRESHOLD, 128 * 1024);
        ::mallopt(M_TOP_PAD, 0);
    }
}

void MallocTuning::AdviseHeap()
{
    const std::uintptr_t top = reinterpret_cast<std::uintptr_t>(::sbrk(0)) & ~(HugePage - 1);
    if (active > 0 && top > adviseFrom) {
        ::madvise(reinterpret_cast<void *>(adviseFrom), top - adviseFrom, MADV_HUGEPAGE);
        adviseFrom = top;
    }
}

}  // namespace folvane::PdfEngine
