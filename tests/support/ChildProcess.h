#pragma once
// Running a test's body in a child process under a limited address space: how the library's and
// the engine's out-of-memory tests make memory run out without harming the test process.
//
// AddressSanitizer reserves terabytes of shadow memory at start-up and its operator new aborts
// instead of throwing, so an address-space limit cannot be used under it: KEST_UNDER_ASAN tells
// those tests to skip themselves there.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <fstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define KEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KEST_UNDER_ASAN 1
#endif
#endif

namespace kest::test {

// The process's current virtual size in bytes.
inline rlim_t virtualSize()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmSize:"))
            return rlim_t(std::stoull(line.substr(7))) * 1024;
    return 0;
}

// Lets the process grow by `room` bytes more; the hard limit stays, so it can be lifted again.
inline bool limitAddressSpace(rlim_t room)
{
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = virtualSize() + room;
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

inline void liftAddressSpaceLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_AS, &limit);
}

// Runs `body` in a child process and returns what it wrote; the child's own failures (a crash,
// a hang caught by the alarm, a non-zero exit) fail the test.
template <typename Body>
std::string inChild(Body body)
{
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        alarm(120); // a hang ends the child with SIGALRM
        const std::string report = body();
        const bool written = write(fds[1], report.data(), report.size()) == ssize_t(report.size());
        _exit(written ? 0 : 3);
    }
    close(fds[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, std::size_t(n));
    close(fds[0]);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << "child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
    return report;
}

} // namespace kest::test
