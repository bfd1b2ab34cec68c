// Command window benchmark: the real window, in the program's own output font, on the test child's
// output of 1, 10 and 50 MB, against the runner alone on the same output, and a slow trickle.
// For each size, over rounds in which the runner alone and the window take turns: time to the
// result line divided by the runner's own time, the longest wait of the interface thread for a
// message sent from another thread, and the peak of private memory over the bytes captured, as
// medians and ranges; for the trickle, the share of the run the interface thread spent working.
// Every run has a time limit and its window is closed whatever the result; the runs that did not
// finish or whose display stopped are listed at the end.
// Every figure is measured in this one run; nothing here is a pass/fail test.
//   execute_bench [rounds [sizes in MB...]]   (3 rounds of 1, 10 and 50 MB unless given)
#include <windows.h>
#include "bench/BenchClock.h"
#include "bench/BenchSpread.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/DlgMain.h"
#include "dialogs/DlgExecute.h"

#include <commctrl.h>

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
// When the run in progress is given up, on the benchmark clock; set before the watchers start.
double g_deadline = 0;
std::atomic<bool> g_limitPosted{false};

// Posted to the window by the benchmark: a run that ended but stayed open, and a run past its limit.
const UINT WM_BENCH_CLOSE = WM_APP + 1;
const UINT WM_BENCH_TIMEOUT = WM_APP + 2;

class BenchWindow : public CDlgExecute
{
public:
    using CDlgExecute::CDlgExecute;

    double m_maxTickMs = 0;   // the longest poll of the window's own timer, from the inside
    double m_doneAt = 0;      // when the window showed its result line, on the benchmark clock
    bool m_closedByBench = false;
    bool m_timedOut = false;

protected:
    BOOL OnInitDialog() override
    {
        const BOOL r = CDlgExecute::OnInitDialog();
        g_window.store(m_hWnd);
        return r;
    }
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (msg == WM_BENCH_CLOSE || msg == WM_BENCH_TIMEOUT)
        {
            // The user's way out: a runner still going is stopped first.
            (msg == WM_BENCH_CLOSE ? m_closedByBench : m_timedOut) = true;
            OnBnClickedCancel();
            result = 0;
            return true;
        }
        if (msg != WM_TIMER)
            return CDlgExecute::OnMessage(msg, wParam, lParam, result);
        const double t = NowSeconds();
        const bool handled = CDlgExecute::OnMessage(msg, wParam, lParam, result);
        const double now = NowSeconds();
        m_maxTickMs = std::max(m_maxTickMs, 1000 * (now - t));
        if (m_bDoneSeen && m_doneAt == 0)
        {
            m_doneAt = now;
            // A failed run keeps its window open for the user to read; here nobody reads it. A
            // window that closed itself has left its modal loop, and this message goes nowhere.
            ::PostMessageW(m_hWnd, WM_BENCH_CLOSE, 0, 0);
        }
        return handled;
    }
};

// One thread sends the window an empty message every 10 ms and times the answer, and gives the
// run up once it is past its limit; another samples the private memory (a walk over the address
// space, too slow to share the first one's beat).
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
            if (t > g_deadline && !g_limitPosted.exchange(true))
                ::PostMessageW(wnd, WM_BENCH_TIMEOUT, 0, 0);
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

// Seconds a run may take before it is given up: the runner alone reads about 1 MB a second
// under Wine on a busy machine, the window adds a fraction of that, and a hung run should not
// hold the rest of the benchmark for long.
const int kLimitBaseSeconds = 60;
const int kLimitSecondsPerMB = 2;
const int kTrickleLimitSeconds = 60;   // the trickle itself takes 12 s

double LimitSeconds(int mb)
{
    return kLimitBaseSeconds + kLimitSecondsPerMB * mb;
}

struct AloneRun
{
    double ms = 0;
    int captured = 0;
    bool finished = false;
};

AloneRun RunnerAlone(const std::wstring& line, double limitSeconds)
{
    AloneRun res;
    const double t0 = NowSeconds();
    TExecPiped r(Child(), line, true);
    r.Resume();
    res.finished = r.WaitFor(nullptr, static_cast<DWORD>(1000 * limitSeconds));
    res.ms = 1000 * (NowSeconds() - t0);
    if (!res.finished)
        r.Stop(3000);
    TSysLockGuard lock(r.m_cs);
    res.captured = r.m_pOutput->m_nBytes;
    return res;
}

struct WindowRun
{
    double ms = 0;            // to the result line; to the window's end for a run that showed none
    double maxStallMs = 0;
    double maxTickGapMs = 0;
    long long basePrivate = 0;
    long long peakPrivate = 0;
    double uiBusyMs = 0;
    int captured = 0;
    bool done = false;
    bool timedOut = false;
    bool closedByBench = false;
    bool stopped = false;
    bool lost = false;
    size_t textChars = 0;
    int editChars = 0;
    DWORD exitCode = 0;

    bool Finished() const { return done && !timedOut; }
};

WindowRun RunWindow(const std::wstring& line, double limitSeconds)
{
    WindowRun res;
    Watch watch;
    res.basePrivate = PrivateBytes();
    watch.peakPrivate = res.basePrivate;
    g_window.store(nullptr);
    g_stop.store(false);
    g_limitPosted.store(false);
    const double cpu0 = ThreadCpuMs(::GetCurrentThread());
    const double t0 = NowSeconds();
    g_deadline = t0 + limitSeconds;
    HANDLE watchers[2] = {::CreateThread(nullptr, 0, &StallProbe, &watch, 0, nullptr),
                          ::CreateThread(nullptr, 0, &MemorySampler, &watch, 0, nullptr)};
    {
        BenchWindow dlg(nullptr, Child(), line, EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR);
        g_lastTick = 0;
        g_maxTickGapMs = 0;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &TickGap);
        dlg.DoModal();
        const double end = NowSeconds();
        ::KillTimer(nullptr, timer);
        res.ms = 1000 * ((dlg.m_doneAt > 0 ? dlg.m_doneAt : end) - t0);
        res.maxTickGapMs = std::max(g_maxTickGapMs, dlg.m_maxTickMs);
        res.uiBusyMs = ThreadCpuMs(::GetCurrentThread()) - cpu0;
        g_window.store(nullptr);
        res.done = dlg.m_bDoneSeen;
        res.timedOut = dlg.m_timedOut;
        res.closedByBench = dlg.m_closedByBench;
        res.stopped = dlg.m_bDisplayStopped;
        res.textChars = dlg.m_strOutput.size();
        res.editChars = dlg.m_nEditLength;
        res.exitCode = dlg.m_pRunner->m_dwExitCode;
        TSysLockGuard lock(dlg.m_pRunner->m_cs);
        res.lost = dlg.m_pRunner->m_bOutputLost;
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

// What went wrong in a run, for the list at the end; empty for a run that finished well.
std::string Trouble(const WindowRun& w)
{
    std::string what;
    auto add = [&what](const char* text) { what += what.empty() ? text : std::string("; ") + text; };
    if (w.timedOut)
        add("did not finish within its limit, closed by the benchmark");
    else if (!w.done)
        add("closed before DONE");
    if (w.stopped)
        add("display stopped (out of memory), said so in the window");
    if (w.lost)
        add("output lost");
    if (w.done && w.exitCode != 0)
        add("child's exit code not 0");
    if (w.closedByBench && !w.timedOut)
        add("did not close by itself after DONE, closed by the benchmark");
    return what;
}

// The program's own output font, made the way the program makes it: by its main dialog, opened
// once and closed at once. Without it the command window's edit lays out the system font, which
// costs less per character than what users see.
class FontSource : public CDlgMain
{
protected:
    BOOL OnInitDialog() override
    {
        CDlgMain::OnInitDialog();
        EndDialog(IDOK);
        return TRUE;
    }
};

bool MakeProgramFont()
{
    theApp.InitSystemState();
    {
        FontSource main;
        main.DoModal();
    }
    theApp.m_pMainDlg = nullptr;   // gone: no command window may take it for its parent
    LOGFONTW lf = {};
    if (theApp.m_font.GetSafeHandle() == nullptr || !::GetObjectW(theApp.m_font.GetSafeHandle(), sizeof(lf), &lf))
    {
        std::printf("warning: the program's output font was not made; the edit lays out the system font\n");
        return false;
    }
    std::printf("output font: %ls, height %ld (made by the main dialog, as the program does)\n", lf.lfFaceName,
                static_cast<long>(lf.lfHeight));
    return true;
}
}

int main(int argc, char** argv)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    MakeProgramFont();

    int rounds = 3;
    if (argc > 1)
        rounds = std::max(1, std::atoi(argv[1]));
    // Sizes in MB. 50 MB is already past what the window shows; 200 MB takes some four minutes a
    // round under Wine, which three rounds cannot afford by default: execute_bench 3 1 10 50 200.
    std::vector<int> sizes = {1, 10, 50};
    if (argc > 2)
    {
        sizes.clear();
        for (int i = 2; i < argc && sizes.size() < 8; ++i)
            sizes.push_back(std::atoi(argv[i]));
    }
    const size_t n = sizes.size();

    // The runner alone and the window take turns on each size, the one starting changing with the
    // round and the size, so that neither always runs first on a machine that drifts.
    std::vector<std::vector<AloneRun>> alone(n);
    std::vector<std::vector<WindowRun>> window(n);
    for (int round = 0; round < rounds; ++round)
        for (size_t i = 0; i < n; ++i)
        {
            const long long bytes = static_cast<long long>(sizes[i]) * 1024 * 1024;
            const std::wstring line = L"vantrel_child.exe outn:" + std::to_wstring(bytes) + L":65536";
            for (int k = 0; k < 2; ++k)
            {
                if ((round + static_cast<int>(i) + k) % 2 == 0)
                    alone[i].push_back(RunnerAlone(line, LimitSeconds(sizes[i])));
                else
                    window[i].push_back(RunWindow(line, LimitSeconds(sizes[i])));
            }
        }

    std::printf("command window against the runner alone, %d rounds taking turns, flags 7, each run limited to %d s + %d s "
                "per MB: median (range)\n", rounds, kLimitBaseSeconds, kLimitSecondsPerMB);
    std::vector<std::string> troubles;
    for (size_t i = 0; i < n; ++i)
    {
        const int mb = sizes[i];
        const long long bytes = static_cast<long long>(mb) * 1024 * 1024;
        // Only runs that finished give figures: a run cut at its limit measured the limit.
        std::vector<double> ratios, windowMs, aloneMs, stalls, sent, ticks, growth;
        int finished = 0, aloneFinished = 0;
        for (int r = 0; r < rounds; ++r)
        {
            const WindowRun& w = window[i][r];
            const AloneRun& a = alone[i][r];
            aloneFinished += a.finished ? 1 : 0;
            if (a.finished)
                aloneMs.push_back(a.ms);
            else
                troubles.push_back("runner alone, " + std::to_string(mb) + " MB, round " + std::to_string(r + 1) +
                                   ": did not finish within its limit");
            if (a.captured != bytes)
                std::printf("  %d MB, round %d: the runner alone captured %d of %lld bytes\n", mb, r + 1, a.captured, bytes);
            if (w.captured != bytes)
                std::printf("  %d MB, round %d: the window captured %d of %lld bytes\n", mb, r + 1, w.captured, bytes);
            const std::string trouble = Trouble(w);
            if (!trouble.empty())
                troubles.push_back("window, " + std::to_string(mb) + " MB, round " + std::to_string(r + 1) + ": " + trouble);
            if (!w.Finished())
                continue;
            ++finished;
            windowMs.push_back(w.ms);
            if (a.finished)
                ratios.push_back(w.ms / a.ms);
            stalls.push_back(std::max(w.maxStallMs, w.maxTickGapMs));
            sent.push_back(w.maxStallMs);
            ticks.push_back(w.maxTickGapMs);
            growth.push_back(static_cast<double>(w.peakPrivate - w.basePrivate) / std::max(w.captured, 1));
        }
        const Spread ratio = SpreadOf(ratios), win = SpreadOf(windowMs), run = SpreadOf(aloneMs), stall = SpreadOf(stalls),
                     send = SpreadOf(sent), tick = SpreadOf(ticks), grown = SpreadOf(growth);
        std::printf("command window, %d MB: %d of %d window runs and %d of %d runner-alone runs finished\n", mb, finished,
                    rounds, aloneFinished, rounds);
        if (finished == 0)
            continue;
        std::printf("command window, %d MB: time to DONE / runner alone %.2f (ratio of the medians; round by round %.2f to "
                    "%.2f; window %.0f ms (%.0f to %.0f), runner alone %.0f ms (%.0f to %.0f))\n",
                    mb, win.median / std::max(run.median, 0.001), ratio.low, ratio.high, win.median, win.low, win.high,
                    run.median, run.low, run.high);
        std::printf("command window, %d MB: longest interface-thread stall %.0f ms (%.0f to %.0f; sent message %.0f ms, "
                    "own timer gap or poll %.0f ms, medians)\n",
                    mb, stall.median, stall.low, stall.high, send.median, tick.median);
        std::printf("command window, %d MB: peak private memory growth / bytes captured %.2f (%.2f to %.2f)\n", mb,
                    grown.median, grown.low, grown.high);
        const WindowRun& last = window[i][rounds - 1];
        std::printf("  last run: text handed on %zu chars, edit %d chars\n", last.textChars, last.editChars);
    }
    std::fflush(stdout);

    // 3 MB as 64 KB every 250 ms.
    std::wstring trickle = L"vantrel_child.exe";
    for (int i = 0; i < 48; ++i)
        trickle += L" outn:65536:65536 sleep:250";
    std::vector<double> shares, trickleStalls;
    for (int r = 0; r < rounds; ++r)
    {
        const WindowRun t = RunWindow(trickle, kTrickleLimitSeconds);
        const std::string trouble = Trouble(t);
        if (!trouble.empty())
            troubles.push_back("window, 3 MB trickle, round " + std::to_string(r + 1) + ": " + trouble);
        if (!t.Finished())
            continue;
        shares.push_back(100 * t.uiBusyMs / t.ms);
        trickleStalls.push_back(std::max(t.maxStallMs, t.maxTickGapMs));
    }
    const Spread share = SpreadOf(shares), tstall = SpreadOf(trickleStalls);
    std::printf("command window, 3 MB trickle: %zu of %d runs finished\n", share.count, rounds);
    if (share.count > 0)
    {
        std::printf("command window, 3 MB trickle: interface-thread busy share %.1f%% (%.1f%% to %.1f%%)\n", share.median,
                    share.low, share.high);
        std::printf("command window, 3 MB trickle: longest interface-thread stall %.0f ms (%.0f to %.0f)\n",
                    tstall.median, tstall.low, tstall.high);
    }

    if (troubles.empty())
        std::printf("every run finished within its limit, reached DONE and closed by itself; no display stopped\n");
    else
    {
        std::printf("runs that did not finish, stopped their display or stayed open:\n");
        for (const std::string& t : troubles)
            std::printf("  %s\n", t.c_str());
    }
    return 0;
}
