#pragma once
// The commands' trap: a failed step is dropped without a message and the next step runs, so a
// command always gets as far as giving the buttons back.

#include "RunTimeFailure.h"

#include <utility>

namespace kest {

template <typename F> void Step(F &&step)
{
    QString ignored;
    Trapped(ignored, std::forward<F>(step));
}

} // namespace kest
