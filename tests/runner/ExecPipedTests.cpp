// Piped runner and detached launch against the test child: bytes, order, results, cancel, launch.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "runner/ExecPiped.h"
#include "runner/Launch.h"
#include "tests/helpers/ChildPattern.h"
#include "tests/helpers/CommitRefusal.h"
#include "tests/runner/RunnerTestSupport.h"

struct TThreadSynchedTestAccess
{
    static void RefuseCreation(bool refuse) { TThreadSynched::s_pfnAllowCreate = refuse ? &No : nullptr; }
    static bool No() { return false; }
    // The cancel flag alone, as Stop sets it, without Stop's wait.
    static void RequestCancel(TThreadSynched& t)
    {
        TSysLockGuard lock(t.m_cs);
        t.m_bCancel = TThreadSynched::CANCEL_REQUESTED;
    }
};

// Holds the worker between a read pass and its check for the child's end until the child has ended,
// so that whatever the child wrote last is still in the pipe when the end is seen.
struct TExecPipedTestAccess
{
    static void HoldUntilTheChildEnds(HANDLE process) { ::WaitForSingleObject(process, 20000); }
    static void Hold(bool on) { TExecPiped::s_pfnBeforeExitCheck = on ? &HoldUntilTheChildEnds : nullptr; }
};

namespace
{
std::wstring Quote(const std::wstring& arg)
{
    return arg.find(L' ') == std::wstring::npos ? arg : L"\"" + arg + L"\"";
}

std::wstring ChildLine(std::initializer_list<std::wstring> args)
{
    std::wstring line = L"vantrel_child.exe";
    for (const auto& a : args)
        line += L" " + Quote(a);
    return line;
}

struct RunResult
{
    bool ended = false;
    DWORD lastError = 0;
    DWORD exitCode = 0;
    std::string bytes;
};

RunResult RunChild(std::initializer_list<std::wstring> args, bool hide = true)
{
    TExecPiped r(ChildExe(), ChildLine(args), hide);
    r.Resume();
    RunResult res;
    res.ended = r.WaitFor(nullptr, 30000);
    if (!res.ended)
        r.Stop(500);
    res.lastError = r.m_dwLastError;
    res.exitCode = r.m_dwExitCode;
    res.bytes = Captured(r);
    return res;
}

// Polls the runner (as the command window does) until its output holds the text.
bool WaitForOutput(TExecPiped& r, const std::string& text, DWORD ms)
{
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms)
    {
        if (Captured(r).find(text) != std::string::npos)
            return true;
        if (!r.IsRunning())
            return Captured(r).find(text) != std::string::npos;
        ::Sleep(20);
    }
    return false;
}

DWORD ChildPid(const std::string& bytes)
{
    const size_t at = bytes.find("pid:");
    return at == std::string::npos ? 0 : static_cast<DWORD>(std::strtoul(bytes.c_str() + at + 4, nullptr, 10));
}

// Opens the child so it can be watched, and ends it if a test leaves it running.
struct ChildProcess
{
    explicit ChildProcess(DWORD pid)
        : h(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid))
    {
    }
    ~ChildProcess()
    {
        if (h == nullptr)
            return;
        if (::WaitForSingleObject(h, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(h, 1);
        ::CloseHandle(h);
    }
    HANDLE h;
};

int ThreadsOfThisProcess()
{
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 te = {};
    te.dwSize = sizeof(te);
    int n = 0;
    for (BOOL ok = ::Thread32First(snap, &te); ok; ok = ::Thread32Next(snap, &te))
        if (te.th32OwnerProcessID == ::GetCurrentProcessId())
            ++n;
    ::CloseHandle(snap);
    return n;
}

std::wstring TempDir()
{
    wchar_t tmp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, tmp);
    std::wstring dir = std::wstring(tmp) + L"vantrel_runner_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

bool FileExists(const std::wstring& path)
{
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ReadWideFile(const std::wstring& path)
{
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return std::wstring();
    std::wstring text(8192, L'\0');
    DWORD got = 0;
    ::ReadFile(f, &text[0], static_cast<DWORD>(text.size() * sizeof(wchar_t)), &got, nullptr);
    ::CloseHandle(f);
    text.resize(got / sizeof(wchar_t));
    return text;
}

bool WaitUntil(DWORD ms, const std::function<bool()>& done)
{
    const DWORD start = ::GetTickCount();
    while (!done())
    {
        if (::GetTickCount() - start > ms)
            return false;
        ::Sleep(20);
    }
    return true;
}
}

TEST(ExecPiped, CapturesStdoutAndStderrExactlyInTheOrderWritten)
{
    const RunResult r = RunChild({L"out:one\\n", L"err:two\\n", L"out:three\\r\\n", L"err:four\\n",
                             L"out:\\x00\\xff\\x80|", L"outn:1500:100", L"err:tail", L"exit:5"});
    ASSERT_TRUE(r.ended);
    EXPECT_EQ(0u, r.lastError);
    EXPECT_EQ(5u, r.exitCode);
    const std::string expected =
        std::string("one\ntwo\nthree\r\nfour\n") + std::string("\0\xff\x80|", 4) + ChildPattern(1500) + "tail";
    EXPECT_EQ(expected, r.bytes);
}

TEST(ExecPiped, KeepsTheLastLineWrittenJustBeforeExit)
{
    for (int i = 0; i < 4; ++i)
    {
        const RunResult r = RunChild({L"outn:3000:1000", L"out:LAST\\r\\n", L"exit:7"});
        ASSERT_TRUE(r.ended);
        EXPECT_EQ(7u, r.exitCode);
        EXPECT_EQ(ChildPattern(3000) + "LAST\r\n", r.bytes) << "run " << i;
    }
    // The same after a quiet spell, when the worker is between its sleeps.
    const RunResult quiet = RunChild({L"sleep:400", L"out:LAST\\n", L"exit:3"});
    EXPECT_EQ(3u, quiet.exitCode);
    EXPECT_EQ("LAST\n", quiet.bytes);

    // And with the child's last writes and its end falling exactly after a read pass that found the
    // pipe empty: only a read after the end is seen can get those bytes.
    auto held = [](std::initializer_list<std::wstring> args) {
        TExecPipedTestAccess::Hold(true);
        const RunResult r = RunChild(args);
        TExecPipedTestAccess::Hold(false);
        EXPECT_TRUE(r.ended);
        EXPECT_EQ(7u, r.exitCode);
        return r.bytes;
    };
    EXPECT_EQ("LAST\r\n", held({L"sleep:300", L"out:LAST\\r\\n", L"exit:7"}));
    EXPECT_EQ("first\n" + ChildPattern(1000) + "tail",
              held({L"out:first\\n", L"sleep:300", L"outn:1000:100", L"err:tail", L"exit:7"}));
}

TEST(ExecPiped, ChildGetsNoStandardInput)
{
    TStopwatch sw;
    const RunResult r = RunChild({L"stdin", L"out:after\\n"});
    ASSERT_TRUE(r.ended) << "a child waiting for input must not hang the run";
    EXPECT_LT(sw.Ms(), 20000.0);
    EXPECT_EQ(std::string::npos, r.bytes.find("stdin:data")) << r.bytes;
    EXPECT_EQ(0u, r.bytes.find("stdin:")) << r.bytes;
    EXPECT_NE(std::string::npos, r.bytes.find("after\n"));
}

TEST(ExecPiped, ReturnsTheChildsExitCodeAndKeepsNoHandle)
{
    const int handles = OpenHandleCount();
    for (DWORD code : {0u, 1u, 255u, 0xC0000135u})
    {
        const RunResult r = RunChild({L"exit:" + std::to_wstring(code)});
        ASSERT_TRUE(r.ended);
        EXPECT_EQ(0u, r.lastError);
        EXPECT_EQ(code, r.exitCode);
        EXPECT_EQ("", r.bytes);
    }
    EXPECT_EQ(handles, OpenHandleCount()) << "pipe, process and thread handles are all closed";
}

TEST(ExecPiped, MissingProgramGivesLaunchErrorTwoAndNoOutput)
{
    TExecPiped r(TestBinDir() + L"no_such_program.exe", L"no_such_program.exe", true);
    r.Resume();
    TStopwatch sw;
    ASSERT_TRUE(r.WaitFor(nullptr, 10000));
    EXPECT_LT(sw.Ms(), 5000.0);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), r.m_dwLastError);
    EXPECT_EQ(0u, r.m_dwExitCode);
    EXPECT_EQ(0, CapturedCount(r));
}

TEST(ExecPiped, ApplicationWithoutDriveIsTakenFromTheSystemFolder)
{
    wchar_t sys[MAX_PATH] = {};
    ::GetSystemDirectoryW(sys, MAX_PATH);
    TExecPiped bare(L"dism.exe", L"dism.exe", true);
    EXPECT_EQ(std::wstring(sys) + L"\\dism.exe", bare.m_strApplication);
    TExecPiped drive(L"c:\\Tools\\x.exe", L"x.exe", false);
    EXPECT_EQ(L"c:\\Tools\\x.exe", drive.m_strApplication);

    // Both really start (or fail to) where they point.
    bare.Resume();
    drive.Resume();
    ASSERT_TRUE(bare.WaitFor(nullptr, 30000));
    ASSERT_TRUE(drive.WaitFor(nullptr, 30000));
    EXPECT_EQ(0u, bare.m_dwLastError) << "the system folder's dism.exe starts";
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), drive.m_dwLastError);
}

TEST(ExecPiped, EmptyApplicationThrowsAndLeavesNoThreadBehind)
{
    const int before = ThreadsOfThisProcess();
    ASSERT_GT(before, 0);
    TStopwatch sw;
    EXPECT_THROW(TExecPiped(L"", L"x", true), std::out_of_range);
    EXPECT_LT(sw.Ms(), 3000.0);
    EXPECT_TRUE(WaitUntil(2000, [&] { return ThreadsOfThisProcess() == before; }))
        << "threads before " << before << ", now " << ThreadsOfThisProcess();
}

TEST(ExecPiped, HideFlagReachesTheChildsStartupInformation)
{
    const RunResult hidden = RunChild({L"startup"}, true);
    EXPECT_EQ("startup:101:0\n", hidden.bytes);
    const RunResult shown = RunChild({L"startup"}, false);
    EXPECT_EQ("startup:100:", shown.bytes.substr(0, 12)) << shown.bytes;
}

TEST(ExecPiped, CancelEndsTheWorkerAndLeavesTheChildRunning)
{
    TExecPiped r(ChildExe(), ChildLine({L"pid", L"out:hello\\n", L"runon"}), true);
    r.Resume();
    ASSERT_TRUE(WaitForOutput(r, "hello\n", 30000));
    const std::string before = Captured(r);
    ChildProcess child(ChildPid(before));
    ASSERT_NE(nullptr, child.h);

    TStopwatch sw;
    r.Stop(3000);
    EXPECT_LT(sw.Ms(), 1000.0) << "the worker ends within about one pass";
    EXPECT_FALSE(r.IsRunning());
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), r.m_dwExitCode);
    EXPECT_EQ(0u, r.m_dwLastError);
    EXPECT_EQ(before, Captured(r));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(child.h, 200)) << "the child runs on";
}

TEST(ExecPiped, CancelledFloodingChildKeepsItsBytesAndIsLeftToFinish)
{
    DWORD pid = 0;
    {
        TExecPiped r(ChildExe(), ChildLine({L"pid", L"flood:42"}), true);
        r.Resume();
        ASSERT_TRUE(WaitUntil(30000, [&] { return CapturedCount(r) > 256 * 1024; }));
        TStopwatch sw;
        r.Stop(3000);
        EXPECT_LT(sw.Ms(), 2000.0) << "a flood must not keep the worker from its cancel check";
        EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), r.m_dwExitCode);
        const std::string bytes = Captured(r);
        pid = ChildPid(bytes);
        const size_t body = bytes.find('\n') + 1;
        ASSERT_GT(bytes.size(), body);
        const std::string flood = bytes.substr(body);
        // Every byte read is kept, in order: the pattern repeats every 4096 bytes.
        std::string expected;
        while (expected.size() < flood.size())
            expected += ChildPattern(4096);
        expected.resize(flood.size());
        EXPECT_TRUE(flood == expected) << "captured flood differs from what the child wrote";
    }
    // The runner is gone and with it the only reader: the child's next write fails and it ends.
    ChildProcess child(pid);
    ASSERT_NE(nullptr, child.h);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(child.h, 15000)) << "the child is stuck writing into the pipe";
    DWORD code = 0;
    ::GetExitCodeProcess(child.h, &code);
    EXPECT_EQ(42u, code);
}

TEST(ExecPiped, CancelIsSeenInsideAReadPassThatNeverRunsDry)
{
    // Every page commit waits, so the worker reads far slower than the child writes: the pipe never
    // runs dry, and the read pass would never end by itself. The cancel must be seen inside it.
    TCommitRefusal slowCommits(TCommitRefusal::ALL, 5);
    TExecPiped r(ChildExe(), ChildLine({L"pid", L"flood:42"}), true);
    r.Resume();
    ASSERT_TRUE(WaitUntil(30000, [&] { return CapturedCount(r) > 64 * 1024; }));
    ChildProcess child(ChildPid(Captured(r)));
    ASSERT_NE(nullptr, child.h);

    TThreadSynchedTestAccess::RequestCancel(r);
    const bool ended = r.WaitFor(nullptr, 10000);
    if (!ended)
        ::TerminateProcess(child.h, 1);   // lets the pass run dry, so the test can end
    EXPECT_TRUE(ended) << "the cancel was not seen while the pipe kept its bytes coming";
    EXPECT_FALSE(r.m_bOutputLost);
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), r.m_dwExitCode);
}

TEST(ExecPiped, LargeOutputIsCapturedWhole)
{
    const int size = 4 * 1024 * 1024;
    const RunResult r = RunChild({L"outn:" + std::to_wstring(size) + L":65536", L"exit:0"});
    ASSERT_TRUE(r.ended);
    EXPECT_EQ(0u, r.exitCode);
    ASSERT_EQ(static_cast<size_t>(size), r.bytes.size());
    EXPECT_TRUE(r.bytes == ChildPattern(size)) << "captured bytes differ";
}

TEST(ExecPiped, DestroyingANeverResumedRunnerTakesTheGraceTimeAndStartsNoChild)
{
    const std::wstring marker = TempDir() + L"never_resumed.mark";
    ::DeleteFileW(marker.c_str());
    TStopwatch sw;
    {
        TExecPiped r(ChildExe(), ChildLine({L"touch:" + marker}), true);
    }
    const double ms = sw.Ms();
    EXPECT_GE(ms, 400.0);
    EXPECT_LT(ms, 3000.0);
    ::Sleep(500);
    EXPECT_FALSE(FileExists(marker));

    // The same command resumed does start the child: the marker test above can see one.
    {
        TExecPiped r(ChildExe(), ChildLine({L"touch:" + marker}), true);
        r.Resume();
        ASSERT_TRUE(r.WaitFor(nullptr, 30000));
    }
    EXPECT_TRUE(FileExists(marker));
    ::DeleteFileW(marker.c_str());
}

TEST(ExecPiped, RunnerWithoutAWorkerReportsALaunchErrorNotSuccess)
{
    TThreadSynchedTestAccess::RefuseCreation(true);
    TStopwatch sw;
    {
        TExecPiped r(ChildExe(), ChildLine({L"exit:0"}), true);
        TThreadSynchedTestAccess::RefuseCreation(false);
        r.Resume();
        EXPECT_FALSE(r.IsRunning());
        EXPECT_TRUE(r.WaitFor(nullptr, 5000));
        EXPECT_NE(0u, r.m_dwLastError);
        EXPECT_EQ(0, CapturedCount(r));
    }
    TThreadSynchedTestAccess::RefuseCreation(false);
    EXPECT_LT(sw.Ms(), 300.0);
}

TEST(LaunchDetached, StartsAQuotedPathWithBlanksAndAddsTheArguments)
{
    const std::wstring dir = TempDir() + L"dir with blanks\\";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring program = dir + L"vantrel child.exe";
    ASSERT_TRUE(::CopyFileW(ChildExe().c_str(), program.c_str(), FALSE));
    const std::wstring log = TempDir() + L"detached.log";
    const std::wstring marker = TempDir() + L"detached.mark";
    ::DeleteFileW(log.c_str());
    ::DeleteFileW(marker.c_str());
    ::SetEnvironmentVariableW(L"VANTREL_CHILD_LOG", log.c_str());

    const int handlesBefore = OpenHandleCount();
    EXPECT_TRUE(LaunchDetached(program, L"touch:" + marker));
    EXPECT_TRUE(WaitUntil(20000, [&] { return FileExists(marker); })) << "the detached child never ran";
    EXPECT_TRUE(LaunchDetached(program, L""));
    EXPECT_TRUE(WaitUntil(20000, [&] {
        const std::wstring text = ReadWideFile(log);
        return std::count(text.begin(), text.end(), L'\n') >= 2;
    }));
    ::SetEnvironmentVariableW(L"VANTREL_CHILD_LOG", nullptr);
    EXPECT_EQ(handlesBefore, OpenHandleCount()) << "no handle of the children is kept";

    const std::wstring text = ReadWideFile(log);
    const std::wstring first = L"\"" + program + L"\" touch:" + marker + L"\n";
    const std::wstring second = L"\"" + program + L"\" \n";
    EXPECT_NE(std::wstring::npos, text.find(first));
    EXPECT_NE(std::wstring::npos, text.find(second)) << "empty arguments leave the blank after the quote";

    ::DeleteFileW(marker.c_str());
    ::DeleteFileW(log.c_str());
    ::Sleep(200);
    ::DeleteFileW(program.c_str());
    ::RemoveDirectoryW(dir.c_str());
}

TEST(LaunchDetached, MissingOrMalformedProgramIsReportedAndLeavesNoHandle)
{
    const int before = OpenHandleCount();
    EXPECT_FALSE(LaunchDetached(TestBinDir() + L"no such program.exe", L"a b"));
    EXPECT_FALSE(LaunchDetached(L"", L""));
    // A quote would end the program's quoting early and start "C:\windows\system32\cmd.exe" instead.
    wchar_t sys[MAX_PATH] = {};
    ::GetSystemDirectoryW(sys, MAX_PATH);
    EXPECT_FALSE(LaunchDetached(std::wstring(sys) + L"\\cmd.exe\" /c exit 0 \"", L""));
    EXPECT_EQ(before, OpenHandleCount());
}
