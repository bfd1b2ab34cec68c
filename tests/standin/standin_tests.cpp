// Tests of the stand-in system tools, started as real child processes with one pipe for
// stdout and stderr, the way the program starts the real tools.
#include "StandinFixture.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

const DWORD kExitBadScenario = 9901;
const DWORD kExitNoLog = 9902;

// A started stand-in; stdout and stderr share one pipe whose reading end stays here.
class Child
{
public:
    Child(const std::wstring& exe, const std::wstring& commandLine, bool capture = true)
    {
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        HANDLE write = nullptr;
        if (capture) {
            if (!::CreatePipe(&m_read, &write, &sa, 0))
                return;
            ::SetHandleInformation(m_read, HANDLE_FLAG_INHERIT, 0);
        }
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        if (capture) {
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = write;
            si.hStdError = write;
        }
        PROCESS_INFORMATION pi = {};
        std::wstring mutableLine = commandLine;
        if (::CreateProcessW(exe.c_str(), &mutableLine[0], nullptr, nullptr, capture ? TRUE : FALSE,
                             CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
            ::CloseHandle(pi.hThread);
            m_process = pi.hProcess;
        }
        if (write)
            ::CloseHandle(write);
    }
    ~Child()
    {
        if (m_process) {
            if (::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT)
                ::TerminateProcess(m_process, 1);
            ::WaitForSingleObject(m_process, 10000);
            ::CloseHandle(m_process);
        }
        if (m_read)
            ::CloseHandle(m_read);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_process != nullptr; }

    // What one read returns: whatever the child has written since the last read; empty at the end.
    std::string ReadSome()
    {
        char buffer[65536];
        DWORD got = 0;
        if (!::ReadFile(m_read, buffer, sizeof buffer, &got, nullptr))
            return std::string();
        return std::string(buffer, got);
    }

    std::vector<std::string> ReadAllPieces()
    {
        std::vector<std::string> pieces;
        for (std::string s = ReadSome(); !s.empty(); s = ReadSome())
            pieces.push_back(s);
        return pieces;
    }

    std::string ReadAll()
    {
        std::string all;
        for (const std::string& s : ReadAllPieces())
            all += s;
        return all;
    }

    DWORD Wait(DWORD ms) { return ::WaitForSingleObject(m_process, ms); }
    void Terminate() { ::TerminateProcess(m_process, 1); }

    DWORD ExitCode()
    {
        DWORD code = STILL_ACTIVE;
        if (Wait(60000) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(m_process, &code);
        return code;
    }

private:
    HANDLE m_read = nullptr;
    HANDLE m_process = nullptr;
};

struct Result
{
    std::string output;
    DWORD exitCode;
};

Result RunTool(const std::wstring& exe, const std::wstring& commandLine)
{
    Child child(exe, commandLine);
    EXPECT_TRUE(child.Started()) << "cannot start " << std::string(exe.begin(), exe.end());
    if (!child.Started())
        return {std::string(), DWORD(-1)};
    std::string output = child.ReadAll();
    return {output, child.ExitCode()};
}

std::wstring GetVariable()
{
    wchar_t value[1024];
    DWORD n = ::GetEnvironmentVariableW(StandinFixture::kScenarioVariable, value, 1024);
    return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

} // namespace

TEST(Standin, PlaysExactBytesOnBothStreamsAndReturnsTheExitCode)
{
    StandinFixture f;
    std::wstring dism = f.InstallTool(L"dism.exe");
    std::string every;
    for (int i = 0; i < 256; ++i)
        every += char(i);
    const std::string err = "Error: 0x800f081f\r\n\n\r\xE9";
    f.AddEntry(StandinEntry::Exact(L"dism /Online /Cleanup-Image /RestoreHealth").Stdout(every).Stderr(err).Exit(0x800F081F));

    Result r = RunTool(dism, L"dism.exe /Online /Cleanup-Image /RestoreHealth");
    EXPECT_EQ(r.output, every + err);
    EXPECT_EQ(r.exitCode, 0x800F081Fu);
}

// The format as a person writes it: a captured output pasted into a file, CR LF line ends and a
// byte order mark from a Windows editor, comments, escapes, spaces that matter.
TEST(Standin, HandWrittenScenarioIsPlayedAsDocumented)
{
    StandinFixture f;
    std::wstring bcdedit = f.InstallTool(L"bcdedit.exe");
    const std::string captured = "The operation completed successfully.\r\n";
    f.WriteScenarioFile(L"captured\\set safeboot.txt", captured);
    f.SetScenarioText("\xEF\xBB\xBF# boot options\r\n"
                      "match: bcdedit /set {current} safeboot minimal\r\n"
                      "  # a comment inside an entry\r\n"
                      "stdout-file: captured\\set safeboot.txt\r\n"
                      "stdout:  two spaces, tab\\t, nul \\0, \\x7f\\xFF, \\\\, trailing space \r\n"
                      "stderr: caf\xC3\xA9\\r\\n\r\n"
                      "exit: 0x10\r\n"
                      "\r\n"
                      "match-glob: bcdedit /set *\r\n"
                      "exit: 87\r\n");

    Result r = RunTool(bcdedit, L"bcdedit /set {current} safeboot minimal");
    const char inlineText[] = " two spaces, tab\t, nul \0, \x7f\xFF, \\, trailing space ";
    EXPECT_EQ(r.output, captured + std::string(inlineText, sizeof inlineText - 1) + "caf\xC3\xA9\r\n");
    EXPECT_EQ(r.exitCode, 16u);

    r = RunTool(bcdedit, L"bcdedit /set {current} safeboot network");
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(r.exitCode, 87u);
}

TEST(Standin, MatchesToolNameAndArgumentsAndFirstEntryWins)
{
    StandinFixture f;
    std::wstring dism = f.InstallTool(L"dism.exe");
    std::wstring powershell = f.InstallTool(L"WindowsPowerShell\\v1.0\\powershell.exe");
    std::wstring bcdedit = f.InstallTool(L"bcdedit.exe");
    f.AddEntry(StandinEntry::Exact(L"dism /Online /Get-Features /english").Stdout("exact"));
    f.AddEntry(StandinEntry::Glob(L"dism /Online *").Stdout("dism family").Exit(3));
    f.AddEntry(StandinEntry::Glob(L"powershell -NoProfile -Command *Appx*").Stdout("powershell"));
    f.AddEntry(StandinEntry::Exact(L"dism /Online /Get-Features /english").Stdout("shadowed"));
    f.AddEntry(StandinEntry::Glob(L"*").Stdout("default").Exit(99));

    // The first word is whatever the caller wrote; the copy's own file name names the tool.
    Result r = RunTool(dism, L"\"C:\\Some Folder\\DISM.EXE\" /Online /Get-Features /english");
    EXPECT_EQ(r.output, "exact");
    EXPECT_EQ(r.exitCode, 0u);

    // Arguments compare case for case, so a mistyped switch in the program shows up.
    r = RunTool(dism, L"dism /Online /Get-Features /English");
    EXPECT_EQ(r.output, "dism family");
    EXPECT_EQ(r.exitCode, 3u);

    r = RunTool(powershell, L"powershell.exe -NoProfile -Command Get-AppxPackage -AllUsers");
    EXPECT_EQ(r.output, "powershell");

    r = RunTool(bcdedit, L"bcdedit /enum");
    EXPECT_EQ(r.output, "default");
    EXPECT_EQ(r.exitCode, 99u);

    r = RunTool(dism, L"dism");
    EXPECT_EQ(r.output, "default");

    // Without a catch-all an unknown command line prints nothing and succeeds.
    f.SetScenarioText("match: dism /Online\r\nexit: 4\r\n");
    r = RunTool(dism, L"dism /Online /Get-Features /english");
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(r.exitCode, 0u);
    r = RunTool(dism, L"dism /Online");
    EXPECT_EQ(r.exitCode, 4u);
}

TEST(Standin, ChunksAndProgressRewritesArriveOneByOne)
{
    StandinFixture f;
    std::wstring dism = f.InstallTool(L"dism.exe");
    const std::vector<std::string> progress = {
        "\r", "[==                         5.0%                           ]\r",
        "[===========               40.0%                           ]\r",
        "[==========================100.0%==========================]\r\n",
        "The restore operation completed successfully.\r\n",
    };
    std::string all;
    for (const std::string& p : progress)
        all += p;
    f.AddEntry(StandinEntry::Exact(L"dism /Online /Cleanup-Image /RestoreHealth")
                   .ChunkLines(250).Stdout(all)
                   .Sleep(250)
                   .Chunk(4, 250).Stderr("abcdefghij"));

    // Each piece is written, then the stand-in waits; a reader already waiting sees it alone.
    Child child(dism, L"dism /Online /Cleanup-Image /RestoreHealth");
    ASSERT_TRUE(child.Started());
    std::vector<std::string> expected = progress;
    expected.insert(expected.end(), {"abcd", "efgh", "ij"});
    EXPECT_EQ(child.ReadAllPieces(), expected);
    EXPECT_EQ(child.ExitCode(), 0u);
}

TEST(Standin, SleepKeepsItRunningUntilStopped)
{
    StandinFixture f;
    std::wstring dism = f.InstallTool(L"dism.exe");
    f.AddEntry(StandinEntry::Glob(L"dism *").Stdout("started\r\n").Sleep(120000).Stdout("never\r\n"));

    Child child(dism, L"dism /Online /Cleanup-Image /ScanHealth");
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(child.ReadSome(), "started\r\n");
    EXPECT_EQ(child.Wait(500), DWORD(WAIT_TIMEOUT));
    child.Terminate();
    EXPECT_EQ(child.ReadAll(), "");
}

TEST(Standin, LogsEveryCommandLineExactlyAndInOrder)
{
    StandinFixture f;
    std::wstring dism = f.InstallTool(L"dism.exe");
    std::wstring pnputil = f.InstallTool(L"pnputil.exe");
    f.AddEntry(StandinEntry::Glob(L"*").Stdout("x").Exit(1));
    const std::vector<std::wstring> lines = {
        L"dism.exe /Online /Cleanup-Image /CheckHealth /english",
        L"\"C:\\windows\\system32\\pnputil.exe\"  /delete-driver oem12.inf  ",
        L"dism /Online /Get-FeatureInfo /FeatureName:\u00DCnic\u00F6de-\u2713",
        L"pnputil",
    };
    for (const std::wstring& line : lines)
        RunTool(line.find(L"pnputil") != std::wstring::npos ? pnputil : dism, line);
    EXPECT_EQ(f.Commands(), lines);

    f.ClearCommands();
    EXPECT_TRUE(f.Commands().empty());
    RunTool(dism, L"dism /again");
    EXPECT_EQ(f.Commands(), std::vector<std::wstring>{L"dism /again"});
}

TEST(Standin, ParallelRunsEachAddOneWholeLine)
{
    StandinFixture f;
    std::wstring wevtutil = f.InstallTool(L"wevtutil.exe");
    std::vector<std::wstring> lines;
    for (int i = 0; i < 8; ++i)
        lines.push_back(L"wevtutil gl Channel-" + std::to_wstring(i) + L"/Operational");
    {
        std::vector<std::unique_ptr<Child>> children;
        for (const std::wstring& line : lines)
            children.push_back(std::make_unique<Child>(wevtutil, line, false));
        for (auto& child : children)
            EXPECT_EQ(child->ExitCode(), 0u);
    }
    std::vector<std::wstring> logged = f.Commands();
    std::sort(logged.begin(), logged.end());
    EXPECT_EQ(logged, lines);
}

TEST(Standin, WithoutScenarioVariableItPrintsNothingAndLogsNothing)
{
    StandinFixture f;
    std::wstring cleanmgr = f.InstallTool(L"cleanmgr.exe");
    f.AddEntry(StandinEntry::Glob(L"*").Stdout("scenario").Exit(7));

    ::SetEnvironmentVariableW(StandinFixture::kScenarioVariable, nullptr);
    Result r = RunTool(cleanmgr, L"cleanmgr /sageset:1");
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(f.Commands().empty());

    ::SetEnvironmentVariableW(StandinFixture::kScenarioVariable, f.ScenarioFolder().c_str());
    r = RunTool(cleanmgr, L"cleanmgr /sageset:1");
    EXPECT_EQ(r.output, "scenario");
    EXPECT_EQ(r.exitCode, 7u);
}

TEST(Standin, MalformedScenarioGivesClearErrorAndDistinctCode)
{
    struct Case
    {
        const char* text;
        int line;
        const char* says;
    };
    const Case cases[] = {
        {"stdout: hi\r\n", 1, "before any 'match:'"},
        {"match: dism\r\nstdot: hi\r\n", 2, "unknown directive 'stdot'"},
        {"match: dism\r\nstdout: a\\qb\r\n", 2, "unknown escape '\\q'"},
        {"match: dism\r\nstdout: a\\x4\r\n", 2, "two hexadecimal digits"},
        {"match: dism\r\nexit: 12x\r\n", 2, "exit wants a number"},
        {"match: dism\r\nexit: 0x100000000\r\n", 2, "exit wants a number"},
        {"match: dism\r\nexit: 1\r\nexit: 2\r\n", 3, "second 'exit'"},
        {"match: dism\r\nchunk: lines\r\n", 2, "chunk wants"},
        {"match: dism\r\nchunk: 0 10\r\n", 2, "chunk wants"},
        {"match: dism\r\nsleep: soon\r\n", 2, "sleep wants"},
        {"# note\r\nmatch: dism\r\n\r\nno colon here\r\n", 4, "no ':'"},
        {"match:\r\n", 1, "needs a command line"},
        // A mistake in an entry that does not match is still reported.
        {"match: dism\r\nstdout: fine\r\nmatch: other\r\nbogus: 1\r\n", 4, "unknown directive 'bogus'"},
        // A missing file is found before anything of the entry is printed.
        {"match: dism\r\nstdout: first\r\nstdout-file: missing.txt\r\n", 3, "cannot read"},
    };
    StandinFixture f;
    std::wstring dism = f.InstallTool(L"dism.exe");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        f.SetScenarioText(c.text);
        Result r = RunTool(dism, L"dism");
        EXPECT_EQ(r.exitCode, kExitBadScenario);
        EXPECT_EQ(r.output.rfind("vantrel_standin: ", 0), 0u) << r.output;
        EXPECT_NE(r.output.find("scenario.txt line " + std::to_string(c.line) + ": "), std::string::npos) << r.output;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
    }
    // The command line is logged before the scenario is read, so a test still sees what ran.
    EXPECT_EQ(f.Commands().size(), sizeof cases / sizeof cases[0]);

    ::SetEnvironmentVariableW(StandinFixture::kScenarioVariable, (f.ScenarioFolder() + L"\\no such folder").c_str());
    Result r = RunTool(dism, L"dism");
    EXPECT_EQ(r.exitCode, kExitNoLog);
    EXPECT_NE(r.output.find("cannot append to"), std::string::npos) << r.output;
}

TEST(StandinFixture, InstallsToolsPointsTheVariableAndCleansUp)
{
    ::SetEnvironmentVariableW(StandinFixture::kScenarioVariable, L"C:\\earlier");
    std::wstring root;
    {
        StandinFixture f;
        root = f.Root();
        f.InstallAllTools();
        for (const std::wstring& name : StandinFixture::AllToolNames()) {
            DWORD attributes = ::GetFileAttributesW((f.SystemFolder() + L"\\" + name).c_str());
            EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                << std::string(name.begin(), name.end());
        }
        EXPECT_EQ(GetVariable(), f.ScenarioFolder());
        f.AddEntry(StandinEntry::Glob(L"*").Stdout("x"));
        RunTool(f.SystemFolder() + L"\\WindowsPowerShell\\v1.0\\powershell.exe", L"powershell -NoProfile");
        EXPECT_EQ(f.Commands().size(), 1u);
    }
    EXPECT_EQ(::GetFileAttributesW(root.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetVariable(), L"C:\\earlier");
    ::SetEnvironmentVariableW(StandinFixture::kScenarioVariable, nullptr);
}
