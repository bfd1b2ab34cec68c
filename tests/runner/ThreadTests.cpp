// Worker thread base, lock and message pump: stops, the pumping wait and its parent window.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>

#include "framework/Wnd.h"
#include "runner/Launch.h"
#include "runner/ThreadSynched.h"
#include "tests/runner/RunnerTestSupport.h"

struct TThreadSynchedTestAccess
{
    static void RefuseCreation(bool refuse) { TThreadSynched::s_pfnAllowCreate = refuse ? &No : nullptr; }
    static bool No() { return false; }
};

namespace
{
// A worker whose body the test supplies.
class TTestWorker final : public TThreadSynched
{
public:
    explicit TTestWorker(std::function<DWORD(TTestWorker&)> body) : m_body(std::move(body)) {}
    // The body is one of our members: the thread must be gone before it is.
    ~TTestWorker() { Stop(500); }

    DWORD Execute() override
    {
        executed = true;
        return m_body(*this);
    }

    bool Cancelled() { return IsCancelled(); }
    DWORD ThreadExitCode() const
    {
        DWORD code = 0;
        ::GetExitCodeThread(m_hThread, &code);
        return code;
    }

    std::atomic<bool> executed{false};

private:
    std::function<DWORD(TTestWorker&)> m_body;
};

DWORD RunUntilCancelled(TTestWorker& w)
{
    while (!w.Cancelled())
        ::Sleep(5);
    return 7;
}

std::function<DWORD(TTestWorker&)> SleepFor(DWORD ms)
{
    return [ms](TTestWorker&) -> DWORD {
        ::Sleep(ms);
        return 1;
    };
}

// Counts the enable changes a window receives.
std::atomic<int> g_enableMessages{0};
LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_ENABLE)
        ++g_enableMessages;
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

const wchar_t* TestWindowClass()
{
    static bool registered = false;
    if (!registered)
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = CountingProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VantrelRunnerTestWnd";
        ::RegisterClassW(&wc);
        registered = true;
    }
    return L"VantrelRunnerTestWnd";
}

// A top-level parent and a dialog-like popup it owns, as a page and its command window.
struct ParentAndDialog
{
    ParentAndDialog()
    {
        parent = ::CreateWindowExW(0, TestWindowClass(), L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr,
                                   nullptr, ::GetModuleHandleW(nullptr), nullptr);
        dialog = ::CreateWindowExW(0, TestWindowClass(), L"dialog", WS_POPUP, 0, 0, 100, 100, parent, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        dlg.Attach(dialog);
    }
    ~ParentAndDialog()
    {
        ::DestroyWindow(dialog);
        ::DestroyWindow(parent);
    }
    HWND parent = nullptr;
    HWND dialog = nullptr;
    CWnd dlg;
};

std::atomic<int> g_timerTicks{0};
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD)
{
    ++g_timerTicks;
}
}

namespace
{
struct HolderArgs
{
    TSysCriticalSection* cs;
    std::atomic<bool>* holding;
};

DWORD WINAPI HoldLockFor400Ms(LPVOID p)
{
    const HolderArgs* args = static_cast<const HolderArgs*>(p);
    args->cs->Lock();
    *args->holding = true;
    ::Sleep(400);
    args->cs->Unlock();
    return 0;
}
}

TEST(SysCriticalSection, DestructionWaitsForTheHolderToLeave)
{
    std::optional<TSysCriticalSection> cs;
    cs.emplace();
    std::atomic<bool> holding{false};
    HolderArgs args{&*cs, &holding};
    HANDLE holder = ::CreateThread(nullptr, 0, &HoldLockFor400Ms, &args, 0, nullptr);
    ASSERT_NE(nullptr, holder);
    while (!holding)
        ::Sleep(1);
    TStopwatch sw;
    cs.reset();
    EXPECT_GE(sw.Ms(), 250.0);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(holder, 5000));
    ::CloseHandle(holder);
}

TEST(ThreadSynched, NeverResumedThreadIsEndedAfterTheGraceTimeWithoutRunning)
{
    TStopwatch sw;
    {
        TTestWorker w(&RunUntilCancelled);
        ASSERT_NE(nullptr, w.m_hThread);
        EXPECT_NE(0u, w.m_dwThreadId);
        EXPECT_TRUE(w.IsRunning()) << "a suspended thread counts as running";
        sw.Restart();
        w.Stop(500);
        EXPECT_FALSE(w.IsRunning());
        EXPECT_FALSE(w.executed);
        EXPECT_EQ(0u, w.ThreadExitCode());
    }
    const double ms = sw.Ms();
    EXPECT_GE(ms, 400.0);
    EXPECT_LT(ms, 3000.0);
}

TEST(ThreadSynched, FailedCreationLooksLikeAnEndedThread)
{
    TThreadSynchedTestAccess::RefuseCreation(true);
    TStopwatch sw;
    {
        TTestWorker w(&RunUntilCancelled);
        TThreadSynchedTestAccess::RefuseCreation(false);
        EXPECT_EQ(nullptr, w.m_hThread);
        EXPECT_EQ(0u, w.m_dwThreadId);
        w.Resume();
        EXPECT_FALSE(w.IsRunning());
        EXPECT_TRUE(w.WaitFor(nullptr, 5000));
        w.Stop(500);
        EXPECT_FALSE(w.executed);
    }
    TThreadSynchedTestAccess::RefuseCreation(false);
    EXPECT_LT(sw.Ms(), 300.0);
}

TEST(ThreadSynched, StopSetsTheFlagAndACooperativeWorkerEndsByItself)
{
    TTestWorker w(&RunUntilCancelled);
    w.Resume();
    ::Sleep(50);
    ASSERT_TRUE(w.IsRunning());
    EXPECT_FALSE(w.Cancelled());
    TStopwatch sw;
    w.Stop(3000);
    EXPECT_LT(sw.Ms(), 1000.0);
    EXPECT_FALSE(w.IsRunning());
    EXPECT_TRUE(w.Cancelled());
    EXPECT_EQ(7u, w.ThreadExitCode()) << "the body returned by itself";
    w.Stop(3000);   // a second stop on an ended thread does nothing
}

TEST(ThreadSynched, StopPastTheGraceTimeWaitsForTheWorkerInsteadOfKillingIt)
{
    std::atomic<bool> holding{false};
    std::atomic<bool> released{false};
    TTestWorker w([&](TTestWorker& self) -> DWORD {
        // Deaf to the flag for a while, and holding the lock meanwhile, as a worker inside a long
        // system call or an append would be.
        self.m_cs.Lock();
        holding = true;
        ::Sleep(1200);
        released = true;
        self.m_cs.Unlock();
        while (!self.Cancelled())
            ::Sleep(5);
        return 9;
    });
    w.Resume();
    while (!holding)
        ::Sleep(1);
    TStopwatch sw;
    w.Stop(100);
    const double ms = sw.Ms();
    EXPECT_FALSE(w.IsRunning()) << "Stop never returns while the worker runs";
    EXPECT_TRUE(released);
    EXPECT_EQ(9u, w.ThreadExitCode()) << "the worker ended through its own cancel check";
    EXPECT_GE(ms, 900.0);
    EXPECT_LT(ms, 5000.0);
    // Nobody holds the lock afterwards.
    ASSERT_TRUE(::TryEnterCriticalSection(&w.m_cs.m_Section));
    w.m_cs.Unlock();
}

TEST(ThreadSynched, WaitForTouchesNoWindowOnAnEndedThreadOrForAWindowWithoutParent)
{
    ParentAndDialog wins;
    g_enableMessages = 0;
    TTestWorker ended([](TTestWorker&) -> DWORD { return 0; });
    ended.Resume();
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ended.m_hThread, 5000));
    TStopwatch sw;
    EXPECT_TRUE(ended.WaitFor(&wins.dlg, 5000));
    EXPECT_LT(sw.Ms(), 100.0);

    CWnd topLevel(wins.parent);   // has no parent of its own
    TTestWorker running(SleepFor(200));
    running.Resume();
    EXPECT_TRUE(running.WaitFor(&topLevel, 5000));
    EXPECT_TRUE(::IsWindowEnabled(wins.parent));
    EXPECT_EQ(0, g_enableMessages.load());
}

TEST(ThreadSynched, WaitForZeroOnARunningThreadGivesUpWithinATickStep)
{
    TTestWorker w(&RunUntilCancelled);
    w.Resume();
    TStopwatch sw;
    EXPECT_FALSE(w.WaitFor(nullptr, 0));
    EXPECT_LT(sw.Ms(), 250.0);
    EXPECT_TRUE(w.IsRunning());
}

TEST(ThreadSynched, WaitForReturnsWhenTheThreadEndsNotAtTheEndOfItsSlice)
{
    TTestWorker w(SleepFor(1200));
    w.Resume();
    TStopwatch sw;
    EXPECT_TRUE(w.WaitFor(nullptr, 5000));
    const double ms = sw.Ms();
    EXPECT_GE(ms, 1100.0);
    EXPECT_LT(ms, 2500.0);
    EXPECT_FALSE(w.IsRunning());
}

TEST(ThreadSynched, WaitForTimesOutAfterItsTimeAndPumpsAboutTwiceASecond)
{
    TTestWorker w(&RunUntilCancelled);
    w.Resume();
    g_timerTicks = 0;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 40, &CountTick);
    ASSERT_NE(0u, timer);
    TStopwatch sw;
    EXPECT_FALSE(w.WaitFor(nullptr, 5000));
    const double ms = sw.Ms();
    ::KillTimer(nullptr, timer);
    EXPECT_GE(ms, 4900.0);
    EXPECT_LT(ms, 8000.0);
    // One pump per 500 ms slice; each pump dispatches at most the one pending timer message.
    EXPECT_GE(g_timerTicks.load(), 7);
    EXPECT_LE(g_timerTicks.load(), 16);
    EXPECT_TRUE(w.IsRunning());
}

TEST(ThreadSynched, WaitForPumpsAtLeastEvery500MsHoweverLongItsTime)
{
    // A tenth of the wait would be a slice of 6 s: only the cap keeps the interface answering.
    // Over the worker's 6 s a 500 ms slice gives a pump with a timer tick after each of its 11
    // slices; a slice twice as long gives 5. Pumps come late on a loaded machine, never early.
    TTestWorker w(SleepFor(6000));
    g_timerTicks = 0;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 40, &CountTick);
    ASSERT_NE(0u, timer);
    w.Resume();
    EXPECT_TRUE(w.WaitFor(nullptr, 60000));
    ::KillTimer(nullptr, timer);
    // Each pump dispatches at most the one pending timer message.
    EXPECT_GE(g_timerTicks.load(), 8);
    EXPECT_LE(g_timerTicks.load(), 13);
}

TEST(ThreadSynched, WaitForKeepsTheDialogsParentDisabledAndRestoresItsState)
{
    for (bool initiallyEnabled : {true, false})
    {
        ParentAndDialog wins;
        ::EnableWindow(wins.parent, initiallyEnabled);
        std::atomic<int> seenEnabled{-1};
        const HWND parent = wins.parent;
        TTestWorker w([&seenEnabled, parent](TTestWorker&) -> DWORD {
            ::Sleep(300);
            seenEnabled = ::IsWindowEnabled(parent) ? 1 : 0;
            ::Sleep(100);
            return 0;
        });
        w.Resume();
        EXPECT_TRUE(w.WaitFor(&wins.dlg, 5000));
        EXPECT_EQ(0, seenEnabled.load()) << "parent disabled during the wait (initially enabled: "
                                         << initiallyEnabled << ")";
        EXPECT_EQ(initiallyEnabled, ::IsWindowEnabled(wins.parent) != FALSE);
    }
}

TEST(PumpMessages, DrainsTheQueueAtMostOncePerTickChange)
{
    ParentAndDialog wins;
    const UINT kMsg = WM_APP + 17;
    int attempts = 0;
    for (;; ++attempts)
    {
        ASSERT_LT(attempts, 200) << "never managed two calls within one tick";
        // Start right after a tick change so both calls fall into the same tick.
        const DWORD t0 = ::GetTickCount();
        while (::GetTickCount() == t0)
            ::Sleep(0);
        const DWORD tick = ::GetTickCount();
        PumpMessages();
        ::PostMessageW(wins.parent, kMsg, 0, 0);
        PumpMessages();
        if (::GetTickCount() != tick)
        {
            MSG drop;
            while (::PeekMessageW(&drop, nullptr, kMsg, kMsg, PM_REMOVE))
                ;
            continue;
        }
        MSG msg;
        EXPECT_TRUE(::PeekMessageW(&msg, nullptr, kMsg, kMsg, PM_NOREMOVE)) << "the second call in a tick does nothing";
        break;
    }
    // After the tick changes the next call drains it.
    const DWORD tick = ::GetTickCount();
    while (::GetTickCount() == tick)
        ::Sleep(1);
    PumpMessages();
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, kMsg, kMsg, PM_NOREMOVE));
}
