#include "platform/PdfRenderChild.h"

#ifdef __SANITIZE_ADDRESS__
// AddressSanitizer reserves terabytes of address space, which no memory limit of the kernel lets
// through: under it the child's memory is bounded by its resident size instead.
static_assert(folvane::PdfRenderChild::MemoryBytes == 2048LL << 20, "the limit below is MemoryBytes");
extern "C" const char *__asan_default_options()
{
    return "hard_rss_limit_mb=2048";
}
#endif

int main(int argc, char **argv) { return folvane::PdfRenderChild::Main(argc, argv); }
