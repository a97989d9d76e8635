#pragma once
// The allocator's tuning for the length of a merge; it applies to the whole process, and while any
// merge is open.
//
// While a merge is open, freed memory stays with the process. The writer buffers every stream it
// copies; with glibc's default thresholds each such buffer is mapped and unmapped, or the heap
// grows and shrinks around it, and every shrink makes the kernel flush the page tables of every
// core: that alone took three quarters of the time of a merge of image-heavy documents. The peak
// stays what the merge needs at once. When the last merge ends, glibc's default thresholds return
// (without their growth with the largest block freed) and the heap shrinks as usual on the next
// free; trimming it at once made the next merge fault every page in again, which tripled the time
// of a run of small appends. The heap also grows in large steps with huge pages asked for
// (AdviseHeap), which took a merge of 2,000 small documents from about 1.8 s to 1.3 s here.

namespace folvane::PdfEngine {

class MallocTuning {
public:
    MallocTuning();
    ~MallocTuning();
    MallocTuning(const MallocTuning &) = delete;
    MallocTuning &operator=(const MallocTuning &) = delete;

    /// Asks for huge pages on the heap grown since the merge opened, ahead of its use: the document
    /// objects of a large merge are many small blocks spread over it, and with small pages the time
    /// goes to page faults and address translation. Does nothing while no merge is open.
    static void AdviseHeap();
};

}  // namespace folvane::PdfEngine
