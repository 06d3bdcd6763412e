// Gives a large request's freed heap back to the system on every way out of its call, refused or not.
#pragma once

#include <QtGlobal>

namespace suite::server {

class HeapReturn {
public:
    // Below this, what a request frees is reused by the next ones and trimming would cost more than it gives.
    static constexpr qsizetype kThreshold = 1 << 20;

    explicit HeapReturn(qsizetype requestSize)
        : m_large(requestSize >= kThreshold)
    {}
    ~HeapReturn();
    HeapReturn(const HeapReturn&) = delete;
    HeapReturn& operator=(const HeapReturn&) = delete;

    // For the whole process, once at start: every block of kThreshold or more is mapped apart and unmapped when
    // freed, so that a request's body and what is read from it go back to the system at once, whichever thread
    // frees them (the C library otherwise raises that threshold after each large free, up to 32 MB, and keeps
    // such blocks in its arenas).
    static void mapLargeBlocks();

    // Work whose memory outgrew its request (a run of a few bytes rewriting millions of lines).
    void markLarge() { m_large = true; }

private:
    bool m_large;
};

} // namespace suite::server
