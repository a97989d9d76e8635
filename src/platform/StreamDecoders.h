#pragma once
// Decoders for the stream filters whose output can be far larger than their input (Flate, LZW and
// run length), in place of qpdf's own. They give the same bytes, and every byte they produce is
// counted by qpdfbudget::ChargeDecoded, so that a few kilobytes built to inflate to gigabytes stop at
// the budget instead of taking the machine's memory and minutes of its time. Private to src/platform.

namespace folvane::streamdecoders {

/// Makes qpdf decode those filters with these decoders from now on, in the whole process; calling it
/// again does nothing.
void Install();

}  // namespace folvane::streamdecoders
