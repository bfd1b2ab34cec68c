// Runner benchmark: capture throughput against two plain pipe readers (rounds taken in turn,
// median and range), the delay from the child's exit to the worker's end (from the exit times
// the system stamps on both, with the samples kept and why any was dropped), the address space reserved and committed while a capture is held
// against the bytes it holds, and the copy-out against a memcpy into equally fresh memory.
// Every figure is a ratio (or a time) measured in this one run; nothing here is a pass/fail test.
//   runner_bench [rounds]   (3 unless given)
#include <windows.h>
#include "bench/BenchClock.h"
#include "bench/BenchSpread.h"
#include "bench/BenchProcess.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runner/ExecPiped.h"

namespace
{
const int kBytes = 64 * 1024 * 1024;
const int kShortRuns = 50;
const int kRounds = 3;   // a capture of 64 MiB in 512-byte reads takes up to half a minute under Wine: few rounds, each alternated

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
        if (!StartHidden(Child(), FloodLine(), write, &pi))
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

// The address space the process holds, by allocation: base -> (reserved bytes, committed bytes).
// Taken before and after a capture, the allocations that appeared are the ones the capture made,
// whatever way the page buffer takes its memory.
struct AddressSpace
{
    struct Use
    {
        long long reserved = 0;
        long long committed = 0;
    };
    std::map<const void*, Use> allocations;
    long long granularity = 65536;

    static AddressSpace Walk()
    {
        AddressSpace space;
        SYSTEM_INFO si;
        ::GetSystemInfo(&si);
        space.granularity = si.dwAllocationGranularity;
        const char* p = static_cast<const char*>(si.lpMinimumApplicationAddress);
        const char* end = static_cast<const char*>(si.lpMaximumApplicationAddress);
        MEMORY_BASIC_INFORMATION mbi;
        while (p < end && ::VirtualQuery(p, &mbi, sizeof(mbi)) == sizeof(mbi))
        {
            if (mbi.State != MEM_FREE)
            {
                Use& use = space.allocations[mbi.AllocationBase];
                use.reserved += static_cast<long long>(mbi.RegionSize);
                if (mbi.State == MEM_COMMIT)
                    use.committed += static_cast<long long>(mbi.RegionSize);
            }
            p = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
        }
        return space;
    }

    // What `after` holds in allocations this one did not have, and what its common allocations
    // committed beyond this one (a heap that grew in place).
    Use GrowthTo(const AddressSpace& after) const
    {
        Use grown;
        for (const auto& a : after.allocations)
        {
            const auto before = allocations.find(a.first);
            if (before == allocations.end())
            {
                // An allocation starts on a granularity boundary, and the rest of its last unit
                // can hold no other allocation: it is taken all the same. A region that names an
                // unaligned base is no allocation of ours but what is left of a reservation the
                // system held before (a 32-bit process under Wine shows the rest of each unit
                // that way): its address space was not free before either.
                if (reinterpret_cast<UINT_PTR>(a.first) % static_cast<UINT_PTR>(granularity) == 0)
                    grown.reserved += (a.second.reserved + granularity - 1) / granularity * granularity;
                grown.committed += a.second.committed;
            }
            else
            {
                grown.reserved += std::max(0LL, a.second.reserved - before->second.reserved);
                grown.committed += std::max(0LL, a.second.committed - before->second.committed);
            }
        }
        return grown;
    }
};

struct RunnerCapture
{
    double ms = -1;
    int bytes = 0;
    AddressSpace::Use held;   // taken by the runner while it holds the capture
};

RunnerCapture CaptureWithRunner(std::unique_ptr<TExecPiped>* keep)
{
    RunnerCapture res;
    const AddressSpace before = AddressSpace::Walk();
    const double t0 = NowMs();
    std::unique_ptr<TExecPiped> r(new TExecPiped(Child(), FloodLine(), true));
    r->Resume();
    r->WaitFor(nullptr, INFINITE);
    res.ms = NowMs() - t0;
    res.held = before.GrowthTo(AddressSpace::Walk());
    r->m_cs.Lock();
    res.bytes = r->m_pOutput->m_nBytes;
    r->m_cs.Unlock();
    if (keep != nullptr)
        *keep = std::move(r);
    return res;
}

// A kernel time stamp in milliseconds (FILETIME, 100 ns units, the system clock).
double FileTimeMs(const FILETIME& t)
{
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
}

// Why a sample could not be taken.
enum
{
    SAMPLE_KEPT = 0,
    SAMPLE_NO_PID,        // the worker ended before the child's pid line could be read
    SAMPLE_NOT_OPENED,    // the child was gone before it could be opened
    SAMPLE_NO_TIMES,      // the system gave no exit time for the child or the worker
    SAMPLE_NEGATIVE,      // the worker's end was stamped before the child's exit
    SAMPLE_KINDS
};

// One short run: the time from the child's exit to the worker's end, both as the system stamped
// them when each ended (GetProcessTimes, GetThreadTimes), so no waiting thread's wake-up lies
// between the two stamps and both come from the same clock.
int ExitToWorkerEndMs(double* ms)
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
    if (pid == 0)
    {
        ::WaitForSingleObject(r.m_hThread, INFINITE);
        return SAMPLE_NO_PID;
    }
    // Opened while it runs, the child's handle keeps its times readable after it has ended.
    HANDLE child = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (child == nullptr)
    {
        ::WaitForSingleObject(r.m_hThread, INFINITE);
        return SAMPLE_NOT_OPENED;
    }
    ::WaitForSingleObject(r.m_hThread, INFINITE);
    ::WaitForSingleObject(child, INFINITE);
    FILETIME created, childExit, workerExit, kernel, user;
    const bool timed = ::GetProcessTimes(child, &created, &childExit, &kernel, &user) &&
                       ::GetThreadTimes(r.m_hThread, &created, &workerExit, &kernel, &user);
    ::CloseHandle(child);
    if (!timed)
        return SAMPLE_NO_TIMES;
    *ms = FileTimeMs(workerExit) - FileTimeMs(childExit);
    return *ms < 0 ? SAMPLE_NEGATIVE : SAMPLE_KEPT;
}

// Ratio of medians, and the range of the round-by-round ratios.
void PrintRatio(const char* what, const std::vector<double>& baseline, const std::vector<double>& measured)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < baseline.size() && i < measured.size(); ++i)
        if (measured[i] > 0)
            ratios.push_back(baseline[i] / measured[i]);
    const Spread r = SpreadOf(ratios), b = SpreadOf(baseline), m = SpreadOf(measured);
    const double mib = kBytes / 1048576.0;
    std::printf("%s: %.2f (range %.2f to %.2f over %zu rounds; medians %.1f vs %.1f MiB/s)\n", what,
                b.median / m.median, r.low, r.high, ratios.size(), mib * 1000 / m.median, mib * 1000 / b.median);
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = kRounds;
    if (argc > 1)
        rounds = std::max(1, std::atoi(argv[1]));
    std::vector<char> sink(static_cast<size_t>(kBytes));
    std::fill(sink.begin(), sink.end(), 0);   // touch it, so the baselines pay no first-use faults

    // The three readers take turns, each round starting with the next one, so that none always
    // runs first (or always after the same neighbour) on a machine that drifts.
    std::vector<double> runnerMs, peekMs, blockMs;
    std::vector<AddressSpace::Use> held;
    std::unique_ptr<TExecPiped> kept;   // the last capture, for the copy-out figures
    for (int round = 0; round < rounds; ++round)
    {
        for (int k = 0; k < 3; ++k)
        {
            int got = 0;
            switch ((round + k) % 3)
            {
            case 0:
            {
                const RunnerCapture c = CaptureWithRunner(&kept);
                if (c.bytes != kBytes)
                    std::printf("warning: runner captured %d of %d bytes\n", c.bytes, kBytes);
                runnerMs.push_back(c.ms);
                held.push_back(c.held);
                break;
            }
            case 1:
                peekMs.push_back(PeekRead512(sink, &got));
                if (got != kBytes)
                    std::printf("warning: peek-512 reader got %d bytes\n", got);
                break;
            default:
                blockMs.push_back(BlockingRead64K(sink, &got));
                if (got != kBytes)
                    std::printf("warning: blocking-64K reader got %d bytes\n", got);
                break;
            }
        }
        kept.reset();   // freed before the next round's readers run
    }
    std::printf("capture, %d MiB per run, %d rounds (runner, bare 512-byte peek-then-read, blocking 64 KiB reads "
                "in turn):\n", kBytes / 1048576, rounds);
    PrintRatio("  runner throughput / bare 512-byte peek-then-read", peekMs, runnerMs);
    PrintRatio("  runner throughput / blocking 64 KiB reads       ", blockMs, runnerMs);

    // Exit to worker end: every sample kept unless it could not be taken, and then said why.
    std::vector<double> delays;
    int dropped[SAMPLE_KINDS] = {};
    double mostNegative = 0;
    for (int i = 0; i < kShortRuns; ++i)
    {
        double d = 0;
        const int why = ExitToWorkerEndMs(&d);
        if (why == SAMPLE_KEPT)
            delays.push_back(d);
        else
            ++dropped[why];
        if (why == SAMPLE_NEGATIVE)
            mostNegative = std::min(mostNegative, d);
    }
    const Spread delay = SpreadOf(delays);
    std::printf("child exit to worker end (both as stamped by the system when each ended): median %.1f ms, range %.1f "
                "to %.1f ms; %zu of %d samples kept\n",
                delay.median, delay.low, delay.high, delays.size(), kShortRuns);
    if (dropped[SAMPLE_NO_PID])
        std::printf("  dropped %d: the worker ended before the child's pid line could be read\n", dropped[SAMPLE_NO_PID]);
    if (dropped[SAMPLE_NOT_OPENED])
        std::printf("  dropped %d: the child could not be opened to read its exit time (already gone)\n",
                    dropped[SAMPLE_NOT_OPENED]);
    if (dropped[SAMPLE_NO_TIMES])
        std::printf("  dropped %d: the system gave no exit time for the child or the worker\n", dropped[SAMPLE_NO_TIMES]);
    if (dropped[SAMPLE_NEGATIVE])
        std::printf("  dropped %d: the worker's end was stamped before the child's exit (down to %.1f ms), which the "
                    "order of events rules out: a clock step, not a delay\n",
                    dropped[SAMPLE_NEGATIVE], mostNegative);

    // Memory of one held 64 MiB capture, found by walking the address space before and after it.
    std::vector<double> reservedPerByte, committedPerByte;
    for (const AddressSpace::Use& u : held)
    {
        reservedPerByte.push_back(static_cast<double>(u.reserved) / kBytes);
        committedPerByte.push_back(static_cast<double>(u.committed) / kBytes);
    }
    const Spread res = SpreadOf(reservedPerByte), com = SpreadOf(committedPerByte);
    std::printf("address space taken while a capture is held / bytes captured: reserved in whole allocation units %.4f (range %.4f to %.4f), "
                "committed %.4f (range %.4f to %.4f)\n",
                res.median, res.low, res.high, com.median, com.low, com.high);

    // Copy-out against a memcpy of as many bytes, both into memory just taken from the same allocator.
    const RunnerCapture last = CaptureWithRunner(&kept);
    TVoid source;
    kept->m_cs.Lock();
    kept->m_pOutput->CopyOut(&source, 0, -1);
    kept->m_cs.Unlock();
    std::vector<double> copyOutMs, memcpyMs;
    for (int round = 0; round < rounds; ++round)
    {
        for (int k = 0; k < 2; ++k)
        {
            if ((round + k) % 2 == 0)
            {
                TVoid out;
                kept->m_cs.Lock();
                const double t = NowMs();
                const bool ok = kept->m_pOutput->CopyOut(&out, 0, -1);
                copyOutMs.push_back(NowMs() - t);
                kept->m_cs.Unlock();
                if (!ok || out.m_nSize != last.bytes)
                    std::printf("warning: copy-out gave %d of %d bytes\n", out.m_nSize, last.bytes);
            }
            else
            {
                const double t = NowMs();
                void* fresh = std::malloc(static_cast<size_t>(source.m_nSize));
                if (fresh != nullptr)
                    std::memcpy(fresh, source.m_pData, static_cast<size_t>(source.m_nSize));
                memcpyMs.push_back(NowMs() - t);
                std::free(fresh);
            }
        }
    }
    const Spread co = SpreadOf(copyOutMs), mc = SpreadOf(memcpyMs);
    std::printf("copy-out of all bytes / malloc and memcpy of as many into fresh memory: %.2f "
                "(medians %.1f vs %.1f ms; ranges %.1f to %.1f and %.1f to %.1f ms; %d rounds)\n",
                co.median / std::max(mc.median, 0.001), co.median, mc.median, co.low, co.high, mc.low, mc.high, rounds);
    return 0;
}
