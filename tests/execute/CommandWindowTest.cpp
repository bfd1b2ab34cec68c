// The command window driven as a user would, with stand-in tools printing scripted output.
#include "dialogs/DlgExecute.h"
#include "app/App.h"
#include "tests/helpers/CommitRefusal.h"
#include "tests/support/MessageSpy.h"
#include "tests/support/StandinWindowTest.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <memory>

using namespace testsupport;

namespace {

const wchar_t kCaption[] = L"Executing Command...";

class CommandWindow : public StandinWindowTest
{
protected:
    void SetUp() override
    {
        StandinWindowTest::SetUp();
        tool = tools->InstallTool(L"dism.exe");
    }

    // Runs the window on `commandLine`; `action` sees it once it is up.
    INT_PTR Run(const std::wstring& commandLine, unsigned flags, std::function<void(HWND)> action = nullptr)
    {
        if (action)
            OnWindow(kCaption, std::move(action), 20000);
        dlg.reset(new CDlgExecute(nullptr, tool, commandLine, flags));
        return dlg->DoModal();
    }

    std::wstring tool;
    std::unique_ptr<CDlgExecute> dlg;
};

TEST_F(CommandWindow, SilentSuccessClosesByItselfOnlyWithTheCloseFlag)
{
    tools->AddEntry(StandinEntry::Exact(L"dism /quiet").Exit(0));
    EXPECT_EQ(Run(L"dism /quiet", EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE), 0);
    EXPECT_EQ(dlg->m_strOutput, L"");
    EXPECT_EQ(dlg->m_pRunner->m_dwExitCode, 0u);
    EXPECT_EQ(dlg->m_pRunner->m_dwLastError, 0u);

    // Without a close flag the window stays after success, with the result line.
    INT_PTR r = Run(L"dism /quiet", EXEC_HIDE_CONSOLE, [](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        ASSERT_TRUE(WaitForResultLine(wnd));
        EXPECT_EQ(ItemText(wnd, IDCANCEL), L"DONE - (result: 0 - 0)");
        EXPECT_EQ(ItemText(wnd, 1002), L"");
        PumpUntil([] { return false; }, 1200);
        EXPECT_TRUE(::IsWindowVisible(wnd)) << "a window without close flags stays open";
        Click(wnd, IDCANCEL);
    });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(tools->Commands(), (std::vector<std::wstring>{L"dism /quiet", L"dism /quiet"}));
}

TEST_F(CommandWindow, FailureStaysOpenWithExitCodeInTheResultLine)
{
    tools->AddEntry(StandinEntry::Exact(L"dism /fail").Stdout("Error: 5\r\n").Exit(5));
    INT_PTR r = Run(L"dism /fail", EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR, [](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        ASSERT_TRUE(WaitForResultLine(wnd));
        EXPECT_EQ(ItemText(wnd, IDCANCEL), L"DONE - (result: 5 - 0)");
        EXPECT_EQ(ItemText(wnd, 1002), L"Error: 5\r\n");
        std::wstring command = ItemText(wnd, 1001);
        EXPECT_NE(command.find(L"\r\n- \"dism /fail\""), std::wstring::npos);
        EXPECT_EQ(command.rfind(L"dism.exe\r\n"), command.find(L"\r\n") - 8) << "the program path comes first";
        PumpUntil([] { return false; }, 1200);
        EXPECT_TRUE(::IsWindowVisible(wnd));
        // Cancel after the end only closes the window; the text stays.
        Click(wnd, IDCANCEL);
    });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(dlg->m_strOutput, L"Error: 5\r\n");
    EXPECT_EQ(dlg->m_pRunner->m_dwExitCode, 5u);
}

TEST_F(CommandWindow, MissingProgramShowsTheLaunchError)
{
    tool = tools->SystemFolder() + L"\\no-such-tool.exe";
    INT_PTR r = Run(L"no-such-tool", EXEC_CLOSE_ON_SUCCESS, [](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        ASSERT_TRUE(WaitForResultLine(wnd));
        EXPECT_EQ(ItemText(wnd, IDCANCEL), L"DONE - (result: 0 - 2)");
        Click(wnd, IDCANCEL);
    });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(dlg->m_pRunner->m_dwLastError, 2u);
}

TEST_F(CommandWindow, CarriageReturnsCollapseOnlyWithTheFlagAndAcrossUpdates)
{
    // The CR closing the first update and the LF opening the next form one line break.
    tools->AddEntry(StandinEntry::Exact(L"dism /split").Stdout("A\rB\r").Sleep(1600).Stdout("\nC\r\n1\r2\r3\r\n").Exit(0));
    tools->AddEntry(StandinEntry::Exact(L"dism /raw").Stdout("1\r2\r3\r\n").Exit(0));
    auto closeWhenDone = [](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        EXPECT_TRUE(WaitForResultLine(wnd, 20000));
        Click(wnd, IDCANCEL);
    };
    Run(L"dism /split", EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR, closeWhenDone);
    EXPECT_EQ(dlg->m_strOutput, L"A\rB\r\nC\r\n3\r\n");
    Run(L"dism /raw", EXEC_HIDE_CONSOLE, closeWhenDone);
    EXPECT_EQ(dlg->m_strOutput, L"1\r2\r3\r\n");
}

TEST_F(CommandWindow, BytesWidenToTheSameCodePointsAndAZeroByteEndsTheText)
{
    tools->AddEntry(StandinEntry::Exact(L"dism /bytes").Stdout(std::string("caf\xE9 \x80\xFF!\r\n\0hidden", 17)).Exit(0));
    Run(L"dism /bytes", EXEC_CLOSE_ON_SUCCESS);
    EXPECT_EQ(dlg->m_strOutput, std::wstring(L"caf\u00e9 \u0080\u00ff!\r\n"));
}

TEST_F(CommandWindow, CancelWhileRunningStopsWaitingEmptiesTheBoxAndKeepsTheText)
{
    tools->AddEntry(StandinEntry::Exact(L"dism /long").Stdout("partial\r\n").Sleep(30000).Exit(0));
    TextSpy spy(1002);
    DWORD started = 0;
    INT_PTR r = Run(L"dism /long", EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE, [&started](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        ASSERT_TRUE(PumpUntil([wnd] { return ItemText(wnd, 1002) == L"partial\r\n"; }, 15000));
        SaveWindowBitmap(wnd, L"command-window-running.bmp");
        started = ::GetTickCount();
        Click(wnd, IDCANCEL);
    });
    EXPECT_EQ(r, 1);
    EXPECT_LT(::GetTickCount() - started, 10000u) << "the stop must not wait for the child";
    EXPECT_EQ(dlg->m_strOutput, L"partial\r\n");
    ASSERT_FALSE(spy.Texts().empty());
    EXPECT_EQ(spy.Texts().back(), L"") << "the output box is emptied on a cancel while running";
    EXPECT_FALSE(dlg->m_pRunner->IsRunning());
    EXPECT_EQ(dlg->m_pRunner->m_dwExitCode, static_cast<DWORD>(STILL_ACTIVE));
}

TEST_F(CommandWindow, CloseBoxWhileRunningTakesTheCancelPath)
{
    tools->AddEntry(StandinEntry::Exact(L"dism /long").Stdout("working\r\n").Sleep(30000).Exit(0));
    INT_PTR r = Run(L"dism /long", EXEC_HIDE_CONSOLE, [](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        ASSERT_TRUE(PumpUntil([wnd] { return ItemText(wnd, 1002) == L"working\r\n"; }, 15000));
        ::SendMessageW(wnd, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(dlg->m_strOutput, L"working\r\n");
    EXPECT_FALSE(dlg->m_pRunner->IsRunning());
}

TEST_F(CommandWindow, EnterNeverEndsTheWindowWhileTheCommandRuns)
{
    tools->AddEntry(StandinEntry::Exact(L"dism /long").Stdout("busy\r\n").Sleep(30000).Exit(0));
    INT_PTR r = Run(L"dism /long", EXEC_HIDE_CONSOLE, [](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        ASSERT_TRUE(PumpUntil([wnd] { return ItemText(wnd, 1002) == L"busy\r\n"; }, 15000));
        ::SendMessageW(wnd, WM_COMMAND, IDOK, 0);
        PumpUntil([] { return false; }, 600);
        EXPECT_TRUE(::IsWindowVisible(wnd)) << "Enter ended the window behind the runner's back";
        Click(wnd, IDCANCEL);
    });
    EXPECT_EQ(r, 1);
}

TEST_F(CommandWindow, OutputThatCouldNotBeStoredFailsTheRunSaysSoAndKeepsTheWindowOpen)
{
    const std::wstring notice =
        L"*** Some output could not be stored (out of memory) and is missing; this run counts as failed. ***";
    struct Case
    {
        int pagesStored;   // page commits allowed before memory "runs out"
        std::string printed;
    };
    // No byte stored; then the first page stored and the rest refused, so the shown text ends inside
    // a line and the notice starts a line of its own.
    const Case cases[] = {{0, "Driver table\r\n"}, {1, std::string(5000, 'a')}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pagesStored);
        const std::wstring command = L"dism /get" + std::to_wstring(c.pagesStored);
        tools->AddEntry(StandinEntry::Exact(command).Stdout(c.printed).Exit(0));
        TCommitRefusal refusal(c.pagesStored);
        std::wstring shown;
        INT_PTR r = Run(command, EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE, [&shown](HWND wnd) {
            EndDialogOnExit end{wnd, 77};
            ASSERT_TRUE(WaitForResultLine(wnd));
            EXPECT_EQ(ItemText(wnd, IDCANCEL), L"DONE - (result: 0 - 0)");
            PumpUntil([] { return false; }, 1200);
            EXPECT_TRUE(::IsWindowVisible(wnd)) << "a run with lost output closed as a success";
            shown = ItemText(wnd, 1002);
            Click(wnd, IDCANCEL);
        });
        EXPECT_EQ(r, 1);
        EXPECT_FALSE(dlg->Succeeded());
        // What was stored is shown (a whole page at most), then the notice, which is no part of the
        // tool's output.
        const std::wstring& kept = dlg->m_strOutput;
        EXPECT_EQ(kept.empty(), c.pagesStored == 0);
        EXPECT_LE(kept.size(), 4096u * c.pagesStored);
        EXPECT_EQ(kept, std::wstring(c.printed.begin(), c.printed.begin() + static_cast<std::ptrdiff_t>(kept.size())));
        EXPECT_EQ(shown, kept + (kept.empty() ? L"" : L"\r\n") + notice);
    }
}

TEST_F(CommandWindow, ScreenshotOfAFinishedCommand)
{
    tools->AddEntry(StandinEntry::Exact(L"dism /Online /Cleanup-Image /CheckHealth /english")
                        .Stdout("\r\nDeployment Image Servicing and Management tool\r\nVersion: 10.0.19041.844\r\n\r\n"
                                "Image Version: 10.0.19045.3803\r\n\r\nNo component store corruption detected.\r\n"
                                "The operation completed successfully.\r\n")
                        .Exit(0));
    Run(L"dism /Online /Cleanup-Image /CheckHealth /english", EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR, [](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        ASSERT_TRUE(WaitForResultLine(wnd));
        EXPECT_TRUE(SaveWindowBitmap(wnd, L"command-window-done.bmp"));
        Click(wnd, IDCANCEL);
    });
    EXPECT_NE(dlg->m_strOutput.find(L"No component store corruption detected."), std::wstring::npos);
}

} // namespace
