#pragma once
// The PDF-to-image engine: renders pages of a PDF to image files, by handle (PdfRender.h).
//
// Properties (apSetProperty):
//   1 output folder (text; it must exist), 2 file-name prefix (text),
//   5 image type (n1): 1 BMP, 2 JPEG, 3 PNG, 4 TIFF (one file per page), 7 multi-page TIFF (every
//     converted page in one file, written at apClose),
//   6 bits per pixel of the images (n1: 1, 8 or 24; 24 unless set),
//   10 TIFF compression (n1: a code of TiffFile::Compression, 1 none; LZW unless set),
//   11 JPEG quality (n1: 0-100, -1 the encoder's default).
// Files: "<folder>/<prefix><page>.<bmp|jpg|png|tif>" for one page each, "<folder>/<prefix>.tif" for
// the multi-page TIFF (the PDF's file name without its extension when the prefix is empty). Pages
// are rendered at 150 dpi. Every file is written under a temporary name and renamed into place.

#include <QString>

#include <cstdint>

namespace folvane::PdfRasterEngine {

/// apOpen's answers for a file that did not open.
inline constexpr std::int32_t OpenNotReadable = -1;  ///< missing, not a regular file, no access
inline constexpr std::int32_t OpenDamaged = -2;
inline constexpr std::int32_t OpenPassword = -3;     ///< encrypted, and the passwords do not open it
inline constexpr std::int32_t OpenNoPages = -4;

inline constexpr std::int32_t PropOutputFolder = 1;
inline constexpr std::int32_t PropPrefix = 2;
inline constexpr std::int32_t PropImageType = 5;
inline constexpr std::int32_t PropBitsPerPixel = 6;
inline constexpr std::int32_t PropTiffCompression = 10;
inline constexpr std::int32_t PropJpegQuality = 11;

inline constexpr std::int32_t TypeBmp = 1;
inline constexpr std::int32_t TypeJpeg = 2;
inline constexpr std::int32_t TypePng = 3;
inline constexpr std::int32_t TypeTiff = 4;
inline constexpr std::int32_t TypeMultiPageTiff = 7;

/// Opens the PDF with the owner password, else the user password, else none; a handle greater
/// than 0, or one of the Open* answers.
std::int32_t apOpen(const QString &pdfPath, const QString &ownerPassword, const QString &userPassword);
/// 0 done, -1 for an unknown handle, property or value.
std::int32_t apSetProperty(std::int32_t handle, std::int32_t property, const QString &text, std::int32_t n1,
                           std::int32_t n2);
/// Renders page (from 1) and writes it: 0 done, -1 failed (no such page, no output folder...).
std::int32_t apConvertPage(std::int32_t handle, std::int32_t page);
/// Forgets the handle, writing the multi-page TIFF when one was being made: 0 done, -1 failed. A
/// multi-page TIFF one of whose pages failed to convert is not written (-1).
std::int32_t apClose(std::int32_t handle);
/// Reason of the last call that failed.
QString apLastError();

}  // namespace folvane::PdfRasterEngine
