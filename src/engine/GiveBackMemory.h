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

// For the length of one query on the query's own thread. glibc gives that thread a heap of its
// own that grows one page, and one system call, at a time: about 100,000 calls while the engine
// parses a 600,000-row INSERT, a sixth of the parse. Asked to pad, it opens each new heap whole
// instead (pages still come only when touched). The setting is the process's, so the window's
// heap too grows in large steps meanwhile, of address space only; set while the window's thread
// allocates, as glibc's own free() sets its neighbours, and either value is a sound one. The
// padding is taken back, and what the query freed handed back, when the query ends.
class QueryThreadHeap {
public:
    QueryThreadHeap()
    {
#if defined(__GLIBC__)
        mallopt(M_TOP_PAD, WholeHeap);
#endif
    }
    ~QueryThreadHeap()
    {
#if defined(__GLIBC__)
        mallopt(M_TOP_PAD, DefaultPad);
#endif
        GiveBackFreedMemory();
    }
    QueryThreadHeap(const QueryThreadHeap &) = delete;
    QueryThreadHeap &operator=(const QueryThreadHeap &) = delete;

private:
    static constexpr int WholeHeap = 64 << 20; // glibc's largest heap for a thread
    static constexpr int DefaultPad = 128 << 10;
};

} // namespace kest
