// Runner benchmark: capture throughput against two plain pipe readers, the delay from the child's
// exit to the worker's end, and the page buffer's committed memory against the bytes it holds.
// Every figure is a ratio (or a time) measured in this one run; nothing here is a pass/fail test.
#include <windows.h>
#include "bench/BenchClock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runner/ExecPiped.h"

namespace
{
const int kBytes = 64 * 1024 * 1024;
const int kShortRuns = 50;
const int kRounds = 1;   // the Part's 512-byte reads make one 64 MiB capture take tens of seconds under Wine

std::wstring BinDir()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

double NowMs()
{
    return 1000.0 * NowSeconds();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

const std::wstring& Child()
{
    static const std::wstring child = BinDir() + L"vantrel_child.exe";
    return child;
}

std::wstring FloodLine()
{
    return L"vantrel_child.exe outn:" + std::to_wstring(kBytes) + L":65536";
}

// The child started the way the runner starts it, for the two plain readers.
struct PlainChild
{
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    PROCESS_INFORMATION pi = {};
    bool Start(bool closeOurWriteEnd)
    {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        if (!::CreatePipe(&read, &write, &sa, 0))
            return false;
        ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
        si.hStdOutput = write;
        si.hStdError = write;
        std::wstring line = FloodLine();
        std::vector<wchar_t> buf(line.begin(), line.end());
        buf.push_back(0);
        if (!::CreateProcessW(Child().c_str(), buf.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                              nullptr, &si, &pi))
            return false;
        if (closeOurWriteEnd)
        {
            ::CloseHandle(write);
            write = nullptr;
        }
        return true;
    }
    ~PlainChild()
    {
        if (pi.hProcess)
        {
            ::WaitForSingleObject(pi.hProcess, INFINITE);
            ::CloseHandle(pi.hProcess);
            ::CloseHandle(pi.hThread);
        }
        if (read)
            ::CloseHandle(read);
        if (write)
            ::CloseHandle(write);
    }
};

// Same 512-byte peek-then-read pattern as the runner, into a plain buffer, no lock, no pages.
double PeekRead512(std::vector<char>& sink, int* got)
{
    const double t0 = NowMs();
    PlainChild c;
    if (!c.Start(false))
        return -1;
    int total = 0;
    char buf[512];
    auto pass = [&](bool* any) {
        for (;;)
        {
            DWORD avail = 0, n = 0;
            if (!::PeekNamedPipe(c.read, nullptr, 0, nullptr, &avail, nullptr) || avail == 0)
                return;
            if (!::ReadFile(c.read, buf, sizeof(buf), &n, nullptr) || n == 0)
                return;
            if (total + static_cast<int>(n) <= static_cast<int>(sink.size()))
                std::memcpy(sink.data() + total, buf, n);
            total += static_cast<int>(n);
            *any = true;
        }
    };
    for (;;)
    {
        bool any = false;
        pass(&any);
        if (::WaitForSingleObject(c.pi.hProcess, 0) != WAIT_TIMEOUT)
        {
            pass(&any);
            break;
        }
        if (!any)
            ::Sleep(10);
    }
    *got = total;
    return NowMs() - t0;
}

// Blocking 64 KiB reads until the pipe reports its end: the pipe's own limit.
double BlockingRead64K(std::vector<char>& sink, int* got)
{
    const double t0 = NowMs();
    PlainChild c;
    if (!c.Start(true))
        return -1;
    int total = 0;
    for (;;)
    {
        DWORD n = 0;
        const DWORD room = static_cast<DWORD>(std::min<size_t>(65536, sink.size() - static_cast<size_t>(total)));
        if (room == 0 || !::ReadFile(c.read, sink.data() + total, room, &n, nullptr) || n == 0)
            break;
        total += static_cast<int>(n);
    }
    *got = total;
    return NowMs() - t0;
}

struct RunnerCapture
{
    double ms = -1;
    int bytes = 0;
    long long committed = 0;
    long long slotBytes = 0;
    int pages = 0;
    double copyOutMs = -1;
    double memcpyMs = -1;
};

RunnerCapture CaptureWithRunner()
{
    RunnerCapture res;
    const double t0 = NowMs();
    TExecPiped r(Child(), FloodLine(), true);
    r.Resume();
    r.WaitFor(nullptr, INFINITE);
    res.ms = NowMs() - t0;
    r.m_cs.Lock();
    res.bytes = r.m_pOutput->m_nBytes;
    const TRecArray& pages = r.m_pOutput->m_Pages;
    res.pages = pages.m_nCount;
    res.slotBytes = pages.m_Storage.m_nSize;
    for (int i = 0; i < pages.m_nCount; ++i)
    {
        MEMORY_BASIC_INFORMATION mbi = {};
        void* page = *static_cast<void**>(pages.GetAt(i));
        if (::VirtualQuery(page, &mbi, sizeof(mbi)) == sizeof(mbi) && mbi.State == MEM_COMMIT)
            res.committed += static_cast<long long>(mbi.RegionSize);
    }
    // A silent run's copy of everything, against one plain copy of as many bytes.
    {
        TVoid out;
        double t = NowMs();
        r.m_pOutput->CopyOut(&out, 0, -1);
        res.copyOutMs = NowMs() - t;
        std::vector<char> plain(static_cast<size_t>(res.bytes));
        t = NowMs();
        std::memcpy(plain.data(), out.m_pData, plain.size());
        res.memcpyMs = NowMs() - t;
        if (out.m_nSize != res.bytes)
            std::printf("warning: copy-out gave %d of %d bytes\n", out.m_nSize, res.bytes);
    }
    r.m_cs.Unlock();
    return res;
}

struct ExitWaiter
{
    HANDLE process;
    double endedAt;
};

DWORD WINAPI WaitForExit(LPVOID p)
{
    ExitWaiter* w = static_cast<ExitWaiter*>(p);
    ::WaitForSingleObject(w->process, INFINITE);
    w->endedAt = NowMs();
    return 0;
}

// One short run: the time from the child's end (seen by a thread waiting on it) to the worker's end.
double ExitToWorkerEndMs()
{
    TExecPiped r(Child(), L"vantrel_child.exe pid sleep:150 outn:2000:500", true);
    r.Resume();
    DWORD pid = 0;
    while (pid == 0 && r.IsRunning())
    {
        TVoid out;
        r.m_cs.Lock();
        const bool have = r.m_pOutput->m_nBytes > 0 && r.m_pOutput->CopyOut(&out, 0, -1);
        r.m_cs.Unlock();
        if (have)
        {
            const std::string text(static_cast<const char*>(out.m_pData), static_cast<size_t>(out.m_nSize));
            if (text.find('\n') != std::string::npos)
                pid = static_cast<DWORD>(std::strtoul(text.c_str() + 4, nullptr, 10));
        }
        if (pid == 0)
            ::Sleep(2);
    }
    HANDLE child = pid ? ::OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr;
    if (child == nullptr)
        return -1;
    ExitWaiter waiter = {child, 0};
    HANDLE t = ::CreateThread(nullptr, 0, &WaitForExit, &waiter, 0, nullptr);
    ::WaitForSingleObject(r.m_hThread, INFINITE);
    const double workerEnd = NowMs();
    ::WaitForSingleObject(t, INFINITE);
    ::CloseHandle(t);
    ::CloseHandle(child);
    return workerEnd - waiter.endedAt;
}
}

int main()
{
    std::vector<char> sink(static_cast<size_t>(kBytes));
    std::fill(sink.begin(), sink.end(), 0);   // touch it, so the baselines pay no first-use faults

    std::vector<double> runnerMs, peekMs, blockMs;
    RunnerCapture last;
    for (int round = 0; round < kRounds; ++round)
    {
        int got = 0;
        last = CaptureWithRunner();
        if (last.bytes != kBytes)
            std::printf("warning: runner captured %d of %d bytes\n", last.bytes, kBytes);
        runnerMs.push_back(last.ms);
        peekMs.push_back(PeekRead512(sink, &got));
        if (got != kBytes)
            std::printf("warning: peek-512 reader got %d bytes\n", got);
        blockMs.push_back(BlockingRead64K(sink, &got));
        if (got != kBytes)
            std::printf("warning: blocking-64K reader got %d bytes\n", got);
    }
    const double mib = kBytes / 1048576.0;
    const double runner = Median(runnerMs), peek = Median(peekMs), block = Median(blockMs);
    std::printf("capture throughput, runner / bare 512-byte peek-then-read: %.2f  (%.0f vs %.0f MiB/s)\n",
                peek / runner, mib * 1000 / runner, mib * 1000 / peek);
    std::printf("capture throughput, runner / blocking 64 KiB reads:       %.2f  (%.0f vs %.0f MiB/s)\n",
                block / runner, mib * 1000 / runner, mib * 1000 / block);

    std::vector<double> delays;
    for (int i = 0; i < kShortRuns; ++i)
    {
        const double d = ExitToWorkerEndMs();
        if (d >= 0)
            delays.push_back(d);
    }
    std::sort(delays.begin(), delays.end());
    std::printf("child exit to worker end, median over %zu runs: %.1f ms\n", delays.size(), Median(delays));
    std::printf("child exit to worker end, maximum over %zu runs: %.1f ms\n", delays.size(),
                delays.empty() ? 0.0 : delays.back());

    std::printf("page buffer committed memory / bytes captured: %.4f  (%lld pages + %lld slot bytes for %d bytes)\n",
                static_cast<double>(last.committed + last.slotBytes) / last.bytes, last.committed / g_nPageSize,
                last.slotBytes, last.bytes);
    std::printf("copy-out of all bytes / one plain memcpy of them: %.1f  (%.0f vs %.1f ms)\n",
                last.copyOutMs / std::max(last.memcpyMs, 0.001), last.copyOutMs, last.memcpyMs);
    return 0;
}
