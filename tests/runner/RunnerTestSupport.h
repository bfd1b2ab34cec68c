// Shared helpers of the runner tests: the child program's path, elapsed time, captured bytes.
#pragma once

#include <windows.h>

#include <string>

#include "runner/ExecPiped.h"

// The test child is built next to the test programs.
inline std::wstring TestBinDir()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    const size_t slash = dir.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1);
}

inline std::wstring ChildExe()
{
    return TestBinDir() + L"vantrel_child.exe";
}

// Handles this process holds. Counted by probing handle values, since not every Windows we test on
// answers GetProcessHandleCount (Wine gives 0).
inline int OpenHandleCount()
{
    int n = 0;
    for (ULONG_PTR h = 4; h < 0x4000; h += 4)
    {
        DWORD flags = 0;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags))
            ++n;
    }
    return n;
}

class TStopwatch
{
public:
    TStopwatch() { Restart(); }
    void Restart() { ::QueryPerformanceCounter(&m_start); }
    double Ms() const
    {
        LARGE_INTEGER now, freq;
        ::QueryPerformanceCounter(&now);
        ::QueryPerformanceFrequency(&freq);
        return 1000.0 * static_cast<double>(now.QuadPart - m_start.QuadPart) / static_cast<double>(freq.QuadPart);
    }

private:
    LARGE_INTEGER m_start;
};

// The runner's byte count and a copy of everything captured, each read under the runner's lock.
inline int CapturedCount(TExecPiped& r)
{
    TSysLockGuard lock(r.m_cs);
    return r.m_pOutput->m_nBytes;
}

inline std::string Captured(TExecPiped& r)
{
    const int n = CapturedCount(r);
    if (n == 0)
        return std::string();
    TVoid out;
    {
        TSysLockGuard lock(r.m_cs);
        if (!r.m_pOutput->CopyOut(&out, 0, n))
            return "<copy failed>";
    }
    return std::string(static_cast<const char*>(out.m_pData), static_cast<size_t>(out.m_nSize));
}
