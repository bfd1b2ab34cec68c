// Out of memory on demand: the page buffer's commit gate, set from a test for as long as a guard lives.
#pragma once

#include <windows.h>

#include <atomic>

#include "runner/PageBuffer.h"

struct TPageBufferTestAccess
{
    static void SetCommitGate(bool (*gate)()) { TPageBuffer::s_pfnAllowCommit = gate; }
};

// Lets the next `allowed` page commits through and refuses every later one, on any thread; each
// commit first waits `delayMs`, which makes a worker read slower than a flooding child writes.
class TCommitRefusal
{
public:
    explicit TCommitRefusal(int allowed, DWORD delayMs = 0)
    {
        s_allowed = allowed;
        s_delayMs = delayMs;
        TPageBufferTestAccess::SetCommitGate(&Gate);
    }
    ~TCommitRefusal() { TPageBufferTestAccess::SetCommitGate(nullptr); }
    TCommitRefusal(const TCommitRefusal&) = delete;
    TCommitRefusal& operator=(const TCommitRefusal&) = delete;

    enum : int { ALL = 1 << 30 };

private:
    static bool Gate()
    {
        if (s_delayMs > 0)
            ::Sleep(s_delayMs);
        return s_allowed.fetch_sub(1) > 0;
    }
    static inline std::atomic<int> s_allowed{0};
    static inline std::atomic<DWORD> s_delayMs{0};
};
