#pragma once
// How much more memory the process may take before something refuses it or kills a process:
// the one question about its surroundings that the memory budget asks. Each platform answers
// it in its own file (platform/room_*.cpp); the portable answer knows of no limit.

#include <cstdint>
#include <limits>

namespace kest::room {

inline constexpr int64_t Unlimited = std::numeric_limits<int64_t>::max();

// Bytes the process may still take, measured now; Unlimited when nothing is known to limit it.
// Costs a few small file reads; called when results have grown by a step, not per row.
// A test lays out a machine of its own (proc/, sys/fs/cgroup/) in a folder named by the
// environment variable KESTRUNE_TEST_ROOT, where the platform reads such files.
int64_t free_bytes() noexcept;

} // namespace kest::room
