// Whether a task's tool counts as present, the version test, and the detached launches.
#include "app/App.h"
#include "app/Tasks.h"
#include "tests/standin/StandinFixture.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <memory>

using namespace testsupport;

namespace {

class Availability : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tools.reset(new StandinFixture());
        theApp.m_strSysDir = tools->SystemFolder() + L"\\";
        theApp.m_strDismPath = theApp.m_strSysDir + L"dism.exe";
        theApp.m_strPowerShellPath = theApp.m_strSysDir + L"WindowsPowerShell\\v1.0\\powershell.exe";
    }
    void TearDown() override { tools.reset(); }
    std::unique_ptr<StandinFixture> tools;
};

TEST_F(Availability, OnlyAFileCountsAndTheErrorModeIsRestored)
{
    ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
    EXPECT_FALSE(IsCmdPresent());
    EXPECT_EQ(::SetErrorMode(SEM_NOGPFAULTERRORBOX), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));

    // A folder bearing the tool's name is not the tool.
    ASSERT_TRUE(::CreateDirectoryW((theApp.m_strSysDir + L"cmd.exe").c_str(), nullptr));
    EXPECT_FALSE(IsCmdPresent());
    EXPECT_EQ(::SetErrorMode(SEM_NOGPFAULTERRORBOX), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));

    tools->InstallTool(L"netplwiz.exe");
    EXPECT_TRUE(IsNetplwizPresent());
    EXPECT_EQ(::SetErrorMode(0), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));

    EXPECT_FALSE(IsFilePresent(L""));
    EXPECT_FALSE(IsFilePresent(L"Q:\\nowhere\\tool.exe"));
}

TEST_F(Availability, EachTestLooksForItsOwnTool)
{
    struct Case { bool (*test)(); const wchar_t* tool; };
    const Case cases[] = {
        {IsBcdeditPresent, L"bcdedit.exe"}, {IsCleanmgrPresent, L"cleanmgr.exe"}, {IsMdschedPresent, L"mdsched.exe"},
        {IsCmdPresent, L"cmd.exe"}, {IsNetplwizPresent, L"netplwiz.exe"}, {IsDismPresent, L"dism.exe"},
        {IsDismPresentWin81, L"dism.exe"}, {IsPowerShellPresent, L"WindowsPowerShell\\v1.0\\powershell.exe"},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(c.test()) << "nothing installed yet";
    for (const Case& c : cases)
    {
        tools->InstallTool(c.tool);
        EXPECT_TRUE(c.test()) << std::string(c.tool, c.tool + wcslen(c.tool));
    }
}

TEST(WindowsVersion, ComparesMajorThenMinor)
{
    // The test prefixes report Windows 10, and the manifest lets the program see it.
    EXPECT_TRUE(IsWindowsVersionOrGreater(6, 3)) << "10.0 passes 6.3 although its minor is below 3";
    EXPECT_TRUE(IsWindowsVersionOrGreater(10, 0));
    EXPECT_TRUE(IsWindowsVersionOrGreater(6, 9));
    EXPECT_FALSE(IsWindowsVersionOrGreater(10, 1));
    EXPECT_FALSE(IsWindowsVersionOrGreater(11, 0));
}

TEST_F(Availability, DetachedLaunchesStartTheToolWithAQuotedPathAndNoArguments)
{
    tools->InstallTool(L"cmd.exe");
    tools->InstallTool(L"WindowsPowerShell\\v1.0\\powershell.exe");
    EXPECT_TRUE(TaskCommandPrompt());
    EXPECT_TRUE(TaskPowerShellPrompt());
    EXPECT_FALSE(TaskDiskCleanup()) << "a missing tool fails silently";
    EXPECT_FALSE(TaskMemoryTest());
    EXPECT_FALSE(TaskUserAccounts());
    ASSERT_TRUE(PumpUntil([this] { return tools->Commands().size() >= 2; }, 15000));
    std::vector<std::wstring> got = tools->Commands();
    std::sort(got.begin(), got.end());
    std::vector<std::wstring> expected = {L"\"" + theApp.m_strSysDir + L"cmd.exe\" ",
                                          L"\"" + theApp.m_strPowerShellPath + L"\" "};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
}

} // namespace
