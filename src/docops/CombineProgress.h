#pragma once
// How a combine run reports its progress to the combine dialog.
//
// The dialog hands itself to its TiffPdfCommands object (SetProgress(this)) just before it starts a
// run, and in its close handler it calls SetProgress(nullptr) and CancelRun() before anything else.
// The run looks the receiver up afresh after every document, so a dialog that was closed during a
// yield is never reached again, and the run stops after the current document without writing any
// output. The dialog must stay alive (not delete itself) until CombineOrderPdf has returned.

#include <cstdint>

namespace folvane {

class CombineProgress {
public:
    /// The number of documents passed so far in the current run.
    virtual void SetProgressValue(std::int32_t value) = 0;

protected:
    ~CombineProgress() = default;
};

}  // namespace folvane
