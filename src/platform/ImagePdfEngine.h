#pragma once
// The image-to-PDF engine: collects images into a new PDF, one page per image page, by handle.
// Built on PdfImageBuilder: JPEG files go in unchanged, other images Flate-compressed, unless a
// compression is set for their colour class. The PDF is written at ApClose, through a temporary
// file renamed into place, and only when every image was added.

#include <QString>

#include <cstdint>

namespace folvane::ImagePdfEngine {

inline constexpr std::int32_t FnBitsPerPixel = 211;  ///< ApGetFunction: text = image path
inline constexpr std::int32_t FnCompression = 123;   ///< ApSetFunction: n1 = class, text = name

/// Colour classes of FnCompression.
inline constexpr std::int32_t ClassBlackWhite = 1;
inline constexpr std::int32_t ClassGrey = 2;
inline constexpr std::int32_t ClassColour = 3;

/// Opens a new PDF to be written at outputPath; a handle greater than 0, or -1 when the output
/// cannot be written there (no path, a folder, a folder that is missing or read-only).
std::int32_t ApCreate(const QString &outputPath);
/// Adds every page of the image file: 0 done, -1 failed (the PDF will then not be written).
std::int32_t ApAddImage(std::int32_t handle, const QString &imagePath);
/// FnBitsPerPixel: the bits per pixel of the image file at text (1, 8, 16, 24 or 32), 0 when it
/// cannot be read; no handle is needed. Other functions answer -1.
std::int32_t ApGetFunction(std::int32_t handle, std::int32_t function, std::int32_t n1, std::int32_t n2,
                           const QString &text, std::int32_t n3);
/// FnCompression: the compression, "Flate", "JPEG" or "None", of images of class n1 added after it.
/// 0 done, -1 for an unknown handle, class, name or function.
std::int32_t ApSetFunction(std::int32_t handle, std::int32_t function, std::int32_t n1, std::int32_t n2,
                           const QString &text, std::int32_t n3);
/// Writes the PDF and forgets the handle: 0 written, -1 not (no image, a failed add, a failed write).
std::int32_t ApClose(std::int32_t handle);
/// Forgets the handle without writing anything.
void ApDiscard(std::int32_t handle);
/// Reason of the last call that failed.
QString ApLastError();

}  // namespace folvane::ImagePdfEngine
