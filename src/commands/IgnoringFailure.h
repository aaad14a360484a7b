#pragma once
// A command's step that fails is dropped without a message and the next step runs, so a
// command always gets as far as giving the buttons back.

#include "RunTimeFailure.h"

#include <utility>

namespace kest {

template <typename F> void IgnoringFailure(F &&step)
{
    QString ignored;
    RecordingFailure(ignored, std::forward<F>(step));
}

} // namespace kest
