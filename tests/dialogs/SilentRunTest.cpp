// Silent runs of the checklist page: no window, a 5000 ms wait, text from the ANSI code page.
#include "dialogs/DlgList.h"
#include "tests/helpers/CommitRefusal.h"
#include "tests/standin/StandinFixture.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

class SilentRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tools.reset(new StandinFixture());
        tool = tools->InstallTool(L"wevtutil.exe");
    }
    void TearDown() override { tools.reset(); }
    std::unique_ptr<StandinFixture> tools;
    std::wstring tool;
};

TEST_F(SilentRun, CommandThatPrintsNothingFailsWithAReaderAndSucceedsWithout)
{
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gl quiet").Exit(0));
    TLineReader reader(L"keep\r\n");
    reader.NextLine();
    EXPECT_FALSE(CDlgList::RunSilent(&reader, tool, L"wevtutil gl quiet"));
    EXPECT_EQ(reader.Text(), L"keep\r\n");
    EXPECT_EQ(reader.Line(), 0) << "a failed run leaves the reader where it was";
    EXPECT_TRUE(CDlgList::RunSilent(nullptr, tool, L"wevtutil gl quiet"));
}

TEST_F(SilentRun, OutputIsConvertedFromTheAnsiCodePageUpToTheFirstZeroByte)
{
    const std::string bytes("name: caf\xE9\r\nsize: \x80\r\n");
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gli x").Stdout(bytes + std::string("\0hidden", 7)).Exit(0));
    TLineReader reader(L"old");
    reader.NextLine();
    ASSERT_TRUE(CDlgList::RunSilent(&reader, tool, L"wevtutil gli x"));

    std::wstring expected(bytes.size(), L'\0');
    expected.resize(static_cast<size_t>(::MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                              &expected[0], static_cast<int>(expected.size()))));
    EXPECT_EQ(reader.Text(), expected);
    if (::GetACP() == 1252)
    {
        EXPECT_NE(reader.Text().find(L'\u20AC'), std::wstring::npos) << "byte 0x80 is the euro sign in code page 1252";
    }
    EXPECT_EQ(reader.Line(), -1) << "the reader is rewound";
    EXPECT_EQ(reader.Start(), 0);
    EXPECT_EQ(reader.Length(), 0);
}

TEST_F(SilentRun, FailuresReadAsFalseAndLeaveTheReader)
{
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gl bad").Stdout("error\r\n").Exit(3));
    TLineReader reader(L"keep");
    EXPECT_FALSE(CDlgList::RunSilent(&reader, tool, L"wevtutil gl bad"));
    EXPECT_FALSE(CDlgList::RunSilent(nullptr, tool, L"wevtutil gl bad"));
    EXPECT_FALSE(CDlgList::RunSilent(&reader, tools->SystemFolder() + L"\\missing.exe", L"missing"));
    EXPECT_FALSE(CDlgList::RunSilent(&reader, L"", L"wevtutil gl bad")) << "an empty path is a failure, not an exception";
    EXPECT_EQ(reader.Text(), L"keep");

    // A tool that succeeds but whose output could be stored only in part: no half inventory.
    tools->AddEntry(StandinEntry::Exact(L"wevtutil el").Stdout(std::string(5000, 'x') + "\r\n").Exit(0));
    {
        TCommitRefusal refusal(1);
        EXPECT_FALSE(CDlgList::RunSilent(&reader, tool, L"wevtutil el"));
        EXPECT_FALSE(CDlgList::RunSilent(nullptr, tool, L"wevtutil el"));
    }
    EXPECT_EQ(reader.Text(), L"keep");
}

int g_ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD)
{
    ++g_ticks;
}

TEST_F(SilentRun, CommandThatOutlivesTheWaitIsStoppedAndFailsWhileMessagesFlow)
{
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gl slow").Stdout("partial\r\n").Sleep(12000).Exit(0));
    g_ticks = 0;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 100, CountTick);
    TLineReader reader(L"keep");
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(CDlgList::RunSilent(&reader, tool, L"wevtutil gl slow"));
    const DWORD elapsed = ::GetTickCount() - start;
    ::KillTimer(nullptr, timer);
    EXPECT_GE(elapsed, 4900u) << "gave up before 5000 ms";
    EXPECT_LT(elapsed, 11000u) << "waited for the child instead of stopping";
    EXPECT_GT(g_ticks, 5) << "messages are dispatched during the wait";
    EXPECT_EQ(reader.Text(), L"keep");
}

} // namespace
