#pragma once
// The engine's failures: a step that fails is described in the status message and the procedure
// carries on with its next step, as a user of the status line expects rather than a crash.

#include <QString>

#include <exception>
#include <utility>

namespace kest {

// The words for the failure being handled (call from inside a catch block).
QString DescribeCurrentFailure();

// For a catch block: "[" + the failure's words + " after line: " + `checkpoint` + "]", or without
// the line part when `checkpoint` is negative. When memory is too short even for that text, a
// fixed text: describing a failure never fails.
QString BracketedFailure(int checkpoint = -1) noexcept;

// Runs `step`; a failure becomes the bracketed failure text in `statusMessage`.
template <typename F> void RecordingFailure(QString &statusMessage, F &&step) noexcept
{
    try {
        std::forward<F>(step)();
    } catch (...) {
        statusMessage = BracketedFailure();
    }
}

} // namespace kest
