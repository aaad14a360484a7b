#pragma once
// The engine's trap: a step that fails is described in the status message and the procedure
// carries on with its next step, as a user of the status line expects rather than a crash.

#include <QString>

#include <exception>
#include <utility>

namespace kest {

// The words for the failure being handled (call from inside a catch block).
QString DescribeCurrentFailure();

// Runs `step`; a failure becomes "[" + its description + suffix + "]" in `statusMessage`.
template <typename Step>
void Trapped(QString &statusMessage, Step &&step, const QString &suffix = QString())
{
    try {
        std::forward<Step>(step)();
    } catch (...) {
        statusMessage = QLatin1Char('[') + DescribeCurrentFailure() + suffix + QLatin1Char(']');
    }
}

} // namespace kest
