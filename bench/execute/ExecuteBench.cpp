// Command window benchmark: the real window on the test child's output of 1, 10, 50 and 200 MB,
// against the runner alone on the same output, and a slow trickle. For each size: time to the
// result line divided by the runner's own time, the longest wait of the interface thread for a
// message sent from another thread, and the peak of private memory over the bytes captured; for
// the trickle, the share of the run the interface thread spent working.
// Every figure is measured in this one run; nothing here is a pass/fail test.
#include <windows.h>
#include "bench/BenchClock.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dialogs/DlgExecute.h"

namespace
{
std::wstring BinDir()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

const std::wstring& Child()
{
    static const std::wstring child = BinDir() + L"vantrel_child.exe";
    return child;
}

// Committed private memory: the sum of the process's committed private regions. Under Wine the
// process counters do not follow the heap (PrivateUsage stayed put while the edit took 48 MB),
// while this walk sees what Windows would count as private bytes.
long long PrivateBytes()
{
    long long sum = 0;
    MEMORY_BASIC_INFORMATION mbi;
    const char* p = nullptr;
    while (::VirtualQuery(p, &mbi, sizeof(mbi)) == sizeof(mbi))
    {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE)
            sum += static_cast<long long>(mbi.RegionSize);
        const char* next = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
        if (next <= p)
            break;
        p = next;
    }
    return sum;
}

double ThreadCpuMs(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return -1;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

std::atomic<HWND> g_window{nullptr};
// The interface thread's own 10 ms thread timer: the longest gap between its ticks is how long the
// thread stayed away from its message loop. Wine hands sent messages and timer ticks to a busy
// thread inside some of its own calls, so the window's poll is also timed from the inside.
double g_lastTick = 0;
double g_maxTickGapMs = 0;

void CALLBACK TickGap(HWND, UINT, UINT_PTR, DWORD)
{
    const double now = NowSeconds();
    if (g_lastTick > 0 && 1000 * (now - g_lastTick) > g_maxTickGapMs)
        g_maxTickGapMs = 1000 * (now - g_lastTick);
    g_lastTick = now;
}
std::atomic<bool> g_stop{false};

class BenchWindow : public CDlgExecute
{
public:
    using CDlgExecute::CDlgExecute;

    double m_maxTickMs = 0;   // the longest poll of the window's own timer, from the inside

protected:
    BOOL OnInitDialog() override
    {
        const BOOL r = CDlgExecute::OnInitDialog();
        g_window.store(m_hWnd);
        return r;
    }
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (msg != WM_TIMER)
            return CDlgExecute::OnMessage(msg, wParam, lParam, result);
        const double t = NowSeconds();
        const bool handled = CDlgExecute::OnMessage(msg, wParam, lParam, result);
        m_maxTickMs = std::max(m_maxTickMs, 1000 * (NowSeconds() - t));
        return handled;
    }
};

// One thread sends the window an empty message every 10 ms and times the answer; another samples
// the private memory (a walk over the address space, too slow to share the first one's beat).
struct Watch
{
    double maxStallMs = 0;
    long long peakPrivate = 0;
};

DWORD WINAPI StallProbe(LPVOID p)
{
    Watch* w = static_cast<Watch*>(p);
    while (!g_stop.load())
    {
        HWND wnd = g_window.load();
        if (wnd != nullptr)
        {
            const double t = NowSeconds();
            DWORD_PTR result = 0;
            if (::SendMessageTimeoutW(wnd, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &result))
            {
                const double ms = 1000 * (NowSeconds() - t);
                if (ms > w->maxStallMs)
                    w->maxStallMs = ms;
            }
        }
        ::Sleep(10);
    }
    return 0;
}

DWORD WINAPI MemorySampler(LPVOID p)
{
    Watch* w = static_cast<Watch*>(p);
    while (!g_stop.load())
    {
        const long long priv = PrivateBytes();
        if (priv > w->peakPrivate)
            w->peakPrivate = priv;
        ::Sleep(5);
    }
    return 0;
}

double RunnerAloneMs(const std::wstring& line, int* captured)
{
    const double t0 = NowSeconds();
    TExecPiped r(Child(), line, true);
    r.Resume();
    r.WaitFor(nullptr, INFINITE);
    const double ms = 1000 * (NowSeconds() - t0);
    TSysLockGuard lock(r.m_cs);
    *captured = r.m_pOutput->m_nBytes;
    return ms;
}

struct WindowRun
{
    double ms = 0;
    double maxStallMs = 0;
    double maxTickGapMs = 0;
    long long basePrivate = 0;
    long long peakPrivate = 0;
    double uiBusyMs = 0;
    int captured = 0;
    bool done = false;
    bool stopped = false;
    bool lost = false;
    size_t textChars = 0;
    int editChars = 0;
    DWORD exitCode = 0;
};

WindowRun RunWindow(const std::wstring& line)
{
    WindowRun res;
    Watch watch;
    res.basePrivate = PrivateBytes();
    watch.peakPrivate = res.basePrivate;
    g_window.store(nullptr);
    g_stop.store(false);
    HANDLE watchers[2] = {::CreateThread(nullptr, 0, &StallProbe, &watch, 0, nullptr),
                          ::CreateThread(nullptr, 0, &MemorySampler, &watch, 0, nullptr)};
    const double cpu0 = ThreadCpuMs(::GetCurrentThread());
    const double t0 = NowSeconds();
    {
        BenchWindow dlg(nullptr, Child(), line, EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR);
        g_lastTick = 0;
        g_maxTickGapMs = 0;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &TickGap);
        dlg.DoModal();
        res.ms = 1000 * (NowSeconds() - t0);
        ::KillTimer(nullptr, timer);
        res.maxTickGapMs = std::max(g_maxTickGapMs, dlg.m_maxTickMs);
        res.uiBusyMs = ThreadCpuMs(::GetCurrentThread()) - cpu0;
        g_window.store(nullptr);
        res.done = dlg.m_bDoneSeen;
        res.stopped = dlg.m_bDisplayStopped;
        res.textChars = dlg.m_strOutput.size();
        res.editChars = dlg.m_nEditLength;
        res.exitCode = dlg.m_pRunner->m_dwExitCode;
        TSysLockGuard lock(dlg.m_pRunner->m_cs);
        res.captured = dlg.m_pRunner->m_pOutput->m_nBytes;
    }
    g_stop.store(true);
    ::WaitForMultipleObjects(2, watchers, TRUE, INFINITE);
    ::CloseHandle(watchers[0]);
    ::CloseHandle(watchers[1]);
    res.maxStallMs = watch.maxStallMs;
    res.peakPrivate = watch.peakPrivate;
    return res;
}

void Report(const WindowRun& w)
{
    std::printf("  %s; text handed on %zu chars, edit %d chars%s%s\n",
                w.done ? "reached DONE" : "closed before DONE", w.textChars, w.editChars,
                w.stopped ? "; display stopped (out of memory), said so in the window" : "",
                w.exitCode != 0 ? "; child's exit code not 0" : "");
}
}

int main(int argc, char** argv)
{
    // Sizes in MB; by default 1, 10, 50 and 200.
    int sizes[8] = {1, 10, 50, 200};
    int count = 4;
    if (argc > 1)
    {
        count = 0;
        for (int i = 1; i < argc && count < 8; ++i)
            sizes[count++] = std::atoi(argv[i]);
    }
    for (int i = 0; i < count; ++i)
    {
        const long long bytes = static_cast<long long>(sizes[i]) * 1024 * 1024;
        const std::wstring line = L"vantrel_child.exe outn:" + std::to_wstring(bytes) + L":65536";
        int alone = 0;
        const double aloneMs = RunnerAloneMs(line, &alone);
        const WindowRun w = RunWindow(line);
        const double captured = w.captured > 0 ? w.captured : 1;
        std::printf("command window, %d MB: time to DONE / runner alone %.2f (%.0f vs %.0f ms)\n", sizes[i],
                    w.ms / aloneMs, w.ms, aloneMs);
        std::printf("command window, %d MB: longest interface-thread stall %.0f ms (sent message %.0f ms, own timer gap or poll %.0f ms)\n",
                    sizes[i], std::max(w.maxStallMs, w.maxTickGapMs), w.maxStallMs, w.maxTickGapMs);
        std::printf("command window, %d MB: peak private memory growth / bytes captured %.2f (%.1f MB for %.1f MB)\n",
                    sizes[i], (w.peakPrivate - w.basePrivate) / captured,
                    (w.peakPrivate - w.basePrivate) / 1048576.0, captured / 1048576.0);
        if (w.captured != bytes || alone != bytes)
            std::printf("  captured %d bytes with the window, %d alone, of %lld written\n", w.captured, alone, bytes);
        Report(w);
    }

    // 3 MB as 64 KB every 250 ms.
    std::wstring trickle = L"vantrel_child.exe";
    for (int i = 0; i < 48; ++i)
        trickle += L" outn:65536:65536 sleep:250";
    const WindowRun t = RunWindow(trickle);
    std::printf("command window, 3 MB trickle: interface-thread busy share %.1f%% (%.0f ms of %.0f ms)\n",
                100 * t.uiBusyMs / t.ms, t.uiBusyMs, t.ms);
    std::printf("command window, 3 MB trickle: longest interface-thread stall %.0f ms (sent message %.0f ms, own timer gap or poll %.0f ms)\n",
                std::max(t.maxStallMs, t.maxTickGapMs), t.maxStallMs, t.maxTickGapMs);
    Report(t);
    return 0;
}
