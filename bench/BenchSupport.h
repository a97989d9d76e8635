#pragma once
// Shared pieces of the benchmarks: generated PDFs, child processes measured for time and peak
// memory, medians.

#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace folvane::bench {

/// A PDF of text pages marked "<tag> p<n>".
void MakeTextPdf(const QString &path, int pages, const QString &tag);
/// A PDF whose every page shows one of the JPEG images (DCT data, passed through unchanged).
void MakeImagePdf(const QString &path, int pages, const std::vector<std::string> &jpegs);
/// A noisy grey JPEG of about the given size in bytes.
std::string NoiseJpeg(int approximateBytes, unsigned seed);

struct ChildRun {
    double seconds = 0;
    long peakKb = 0;  ///< the child's maximum resident set
    int exitCode = -1;
};
/// Runs the program (looked up in PATH) with its arguments, stdout and stderr to /dev/null, and
/// waits for it.
ChildRun RunChild(const std::string &program, const std::vector<std::string> &args);

double Median(std::vector<double> values);

/// The shortest of runs runs of f, in seconds: the machine is shared, and the fastest run is the
/// one least disturbed.
template <class F>
double Best(int runs, F &&f)
{
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}
std::int64_t FileSize(const QString &path);

}  // namespace folvane::bench
