#pragma once
// The render child: the program folvane-render, built beside the program, which opens one PDF with
// poppler and renders its pages on request. poppler can hang or grow without bound on a hostile
// file and offers no way to stop it, so it runs here, in a process of its own under a memory limit
// that the parent ends at a deadline (PdfRender.h). The only unit that includes poppler.
//
// The parent speaks to it over a stream socket on descriptor 3, in the machine's own byte order:
//   Open: OpOpen, then three strings (path, owner password, user password), each a std::uint32_t
//     byte count and UTF-8; answered by an OpenReply.
//   Render: OpRender and a RenderRequest; answered by a std::int64_t, the page's pixel count (0 when
//     it is refused before rendering), then a PageReply, then the reason's bytes (UTF-8) or the
//     pixels, height rows of width * 4 bytes.
// When the parent closes the socket the child ends.

#include <cstdint>

namespace folvane::PdfRenderChild {

/// Memory the child may use (RLIMIT_DATA; its address space may be 1 GB larger, for the program's
/// code and libraries). The largest page, MaxPixels at 4 bytes, is 400 MB, and poppler holds more
/// bitmaps of the page's size while it draws a transparency group through a soft mask: such a page
/// of 100 million pixels peaks at about 1.5 GB, an A3 page at 600 dpi in colour at about 1.1 GB.
/// Some of poppler's allocations that fail leave a part of the page out instead of failing it, so
/// the limit keeps well clear of what real pages need.
inline constexpr std::int64_t MemoryBytes = 2048LL << 20;
/// Pixels of the largest page rendered, as for images read: A3 at 600 dpi in colour fits.
inline constexpr double MaxPixels = 100e6;
/// The child's exit code when memory ran out (new failed); poppler's own allocator aborts instead,
/// saying "Out of memory" on the child's error output.
inline constexpr int ExitOutOfMemory = 3;

/// The child's descriptor of the socket.
inline constexpr int Channel = 3;

inline constexpr std::uint32_t OpOpen = 1;
inline constexpr std::uint32_t OpRender = 2;

struct OpenReply {
    std::int32_t failure;  ///< PdfRenderDocument::OpenFailure
    std::int32_t pages;
};

struct RenderRequest {
    std::int32_t page;  ///< from 1
    double dpiX;
    double dpiY;
};

struct PageReply {
    std::int32_t width;        ///< 0 when the page was not rendered; reasonBytes of reason follow
    std::int32_t height;
    std::int32_t format;       ///< QImage::Format: RGB32, ARGB32 or ARGB32_Premultiplied
    std::uint32_t reasonBytes;
};

/// The child's main: it takes no arguments, and ends when the parent's end of the socket closes.
int Main(int argc, char **argv);

}  // namespace folvane::PdfRenderChild
