#pragma once
// Hands memory the program has freed back to the system. After the engine has parsed a long
// statement or a big text has left the query window, glibc keeps hundreds of megabytes of freed
// small blocks in the process (a 600,000-row INSERT leaves 460 MB) until asked to trim them.

#include <cstdlib> // defines __GLIBC__ on glibc, which the test below needs

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kest {

inline void GiveBackFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

// For the length of one call on the query's own thread (a query, a script read or made ready):
// what the call freed is handed back to the system when it ends. glibc grows that thread's heap a page, and one system call, at a
// time (about 100,000 calls while the engine parses a 600,000-row INSERT). Its padding setting
// (M_TOP_PAD) would open each heap whole, but it is the process's: once set it also ends glibc's
// own choice of when to map large blocks, for good, and overrides the user's MALLOC_TOP_PAD_.
// Without it the long INSERT's Run Query is about a seventh over its goal against the shell.
class QueryThreadHeap {
public:
    QueryThreadHeap() = default;
    ~QueryThreadHeap() { GiveBackFreedMemory(); }
    QueryThreadHeap(const QueryThreadHeap &) = delete;
    QueryThreadHeap &operator=(const QueryThreadHeap &) = delete;
};

} // namespace kest
