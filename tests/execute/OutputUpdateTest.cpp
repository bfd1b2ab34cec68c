// The command window's output display: updates that add to the edit, the display limit, the flags
// it hands on and acts on, its poll period, and a Cancel in the middle of a flood.
#include "dialogs/DlgExecute.h"
#include "tests/runner/RunnerTestSupport.h"
#include "tests/support/MessageSpy.h"
#include "tests/support/StandinWindowTest.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

const wchar_t kCaption[] = L"Executing Command...";
const wchar_t kNotShown[] =
    L"\r\n\r\n[The output goes on beyond this point. It is captured but not shown here.]\r\n";

std::wstring Child()
{
    return TestBinDir() + L"..\\..\\bin\\vantrel_child.exe";
}

// The collapse rule written out plainly, on the whole text, for every update: the reference the
// window's own bookkeeping must match.
void ReferenceCollapse(std::string& block, size_t from)
{
    size_t read = from > 0 ? from - 1 : 0;
    std::string out = block.substr(0, read);
    for (; read < block.size(); ++read)
    {
        const char b = block[read];
        const bool loneCR = b == '\r' && read + 1 < block.size() && block[read + 1] != '\n';
        if (loneCR)
        {
            const size_t pair = out.rfind("\r\n");
            const size_t lineStart = pair == std::string::npos ? 0 : pair + 2;
            if (out.find('\r', lineStart) != std::string::npos)
            {
                out.resize(lineStart);
                continue;
            }
        }
        out += b;
    }
    block = out;
}

std::wstring Widen(const std::string& bytes)
{
    std::wstring text;
    for (char c : bytes)
    {
        if (c == 0)
            break;
        text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return text;
}

// Output with progress rewrites, line breaks of both kinds, bytes above 127 and, when asked, a
// rare zero byte.
std::string RandomOutput(std::mt19937& rng, size_t length, bool zeros)
{
    static const char kBytes[] = {'a', 'b', 'c', '7', ' ', '\r', '\r', '\r', '\n', '\n', '\xE9'};
    std::string s;
    while (s.size() < length)
    {
        const unsigned pick = rng() % 200;
        if (zeros && pick == 0)
            s += '\0';
        else if (pick < 20)
            s += "\r\n";
        else
            s += kBytes[rng() % sizeof(kBytes)];
    }
    return s;
}

class OutputDisplay : public StandinWindowTest
{
protected:
    INT_PTR Run(const std::wstring& program, const std::wstring& commandLine, unsigned flags,
                std::function<void(HWND)> action = nullptr)
    {
        if (action)
            OnWindow(kCaption, std::move(action), 20000);
        dlg.reset(new CDlgExecute(nullptr, program, commandLine, flags));
        return dlg->DoModal();
    }

    std::unique_ptr<CDlgExecute> dlg;
};

TEST_F(OutputDisplay, EveryUpdateShowsWhatAWholeTextRebuildShows)
{
    // The window's runner starts nothing (no such program): the test is the only byte source, so
    // it decides exactly where each update's bytes end.
    const std::wstring missing = tools->SystemFolder() + L"\\no-such-tool.exe";
    std::mt19937 rng(20261207);
    for (int round = 0; round < 16; ++round)
    {
        SCOPED_TRACE("round " + std::to_string(round));
        const bool collapse = round % 2 == 0;
        const bool zeros = round % 3 == 0;
        const int limit = round % 4 == 1 ? 30 + static_cast<int>(rng() % 60) : static_cast<int>(CDlgExecute::DISPLAY_LIMIT);
        const size_t maxChunk = round % 3 == 2 ? 2 : 1 + rng() % 24;
        const std::string output = RandomOutput(rng, 60 + rng() % 200, zeros);

        Run(missing, L"no-such-tool", collapse ? static_cast<unsigned>(EXEC_COLLAPSE_CR) : 0u, [&](HWND wnd) {
            EndDialogOnExit end{wnd, 77};
            HWND edit = ::GetDlgItem(wnd, 1002);
            const LONG style = ::GetWindowLongW(edit, GWL_STYLE);
            EXPECT_TRUE(style & WS_HSCROLL) << "the output edit lost its horizontal scroll bar";
            EXPECT_TRUE(style & WS_VSCROLL);
            dlg->m_nDisplayLimit = limit;

            std::string block;
            for (size_t at = 0; at < output.size();)
            {
                const size_t n = std::min(output.size() - at, 1 + rng() % maxChunk);
                {
                    TSysLockGuard lock(dlg->m_pRunner->m_cs);
                    ASSERT_TRUE(dlg->m_pRunner->m_pOutput->Append(output.data() + at, static_cast<int>(n)));
                }
                const size_t from = block.size();
                block.append(output, at, n);
                if (collapse)
                    ReferenceCollapse(block, from);
                at += n;
                dlg->UpdateOutput();

                const std::wstring expected = Widen(block);
                ASSERT_EQ(dlg->m_strOutput, expected) << "after " << at << " bytes";
                const std::wstring shown = ItemText(wnd, 1002);
                if (expected.size() <= static_cast<size_t>(limit))
                {
                    ASSERT_EQ(shown, expected) << "after " << at << " bytes";
                    continue;
                }
                ASSERT_EQ(shown.substr(0, static_cast<size_t>(limit)), expected.substr(0, static_cast<size_t>(limit)));
                ASSERT_NE(shown.find(L"captured but not shown", static_cast<size_t>(limit)), std::wstring::npos)
                    << "past the display limit the window must say that later output is not shown";
                ASSERT_EQ(shown, expected.substr(0, static_cast<size_t>(limit)) + kNotShown)
                    << "past the display limit the edit holds the first part and the notice, nothing else";
            }
            // As after a whole-text replacement: caret at the start, view at the top.
            DWORD selStart = 1, selEnd = 1;
            ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
            EXPECT_EQ(selStart, 0u);
            EXPECT_EQ(selEnd, 0u);
            EXPECT_EQ(::SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
            Click(wnd, IDCANCEL);
        });
        if (HasFatalFailure())
            return;
    }
}

TEST_F(OutputDisplay, MemoryRunningOutStopsTheDisplaySaysSoAndFailsTheRun)
{
    // The child prints nothing and ends well after a second: the test supplies the bytes, and the
    // run itself succeeds, so only the window's own loss can make it count as failed.
    INT_PTR r = Run(Child(), L"vantrel_child.exe sleep:1500", EXEC_HIDE_CONSOLE, [this](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        auto feed = [this](const char* bytes) {
            TSysLockGuard lock(dlg->m_pRunner->m_cs);
            dlg->m_pRunner->m_pOutput->Append(bytes, static_cast<int>(std::strlen(bytes)));
        };
        feed("kept\r\n");
        dlg->UpdateOutput();
        // A block marked as not ours refuses to grow, as one would when memory runs out.
        dlg->m_rawOutput.m_bNotOwned = TVoid::NOT_OWNED;
        feed("lost\r\n");
        dlg->UpdateOutput();
        dlg->m_rawOutput.m_bNotOwned = 0;
        feed("later\r\n");
        dlg->UpdateOutput();
        const std::wstring shown = ItemText(wnd, 1002);
        EXPECT_EQ(shown.substr(0, 6), L"kept\r\n");
        EXPECT_NE(shown.find(L"display stopped growing"), std::wstring::npos) << "the window must say so";
        EXPECT_EQ(shown.find(L"later"), std::wstring::npos) << "nothing more is shown after the stop";
        EXPECT_TRUE(WaitForResultLine(wnd, 15000));
        EXPECT_EQ(ItemText(wnd, IDCANCEL), L"DONE - (result: 0 - 0)");
        Click(wnd, IDCANCEL);
    });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(dlg->m_strOutput, L"kept\r\n");
    EXPECT_FALSE(dlg->Succeeded()) << "the text handed on is incomplete";
}

TEST_F(OutputDisplay, FlagsReachTheRunnerAndTheCloseRules)
{
    struct Case
    {
        unsigned flags;
        const char* args;
        const char* startsWith;   // what the child prints first
        DWORD exitCode;
    };
    // The child reports the start-up flags it was given: 0x100 is the standard handles alone,
    // 0x101 adds the show-window flag that hides its console. Flag 8 closes whatever the result.
    const Case cases[] = {
        {EXEC_HIDE_CONSOLE | EXEC_CLOSE_WHEN_DONE, "startup", "startup:101:0", 0},
        {EXEC_CLOSE_ON_SUCCESS | EXEC_COLLAPSE_CR | EXEC_CLOSE_WHEN_DONE, "startup", "startup:100:", 0},
        {EXEC_CLOSE_WHEN_DONE, "startup exit:5", "startup:100:", 5},
        {EXEC_CLOSE_WHEN_DONE | EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE, "out:failed exit:7", "failed", 7},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string("flags ") + std::to_string(c.flags) + " " + c.args);
        const std::string a = c.args;
        INT_PTR r = Run(Child(), L"vantrel_child.exe " + std::wstring(a.begin(), a.end()), c.flags, [](HWND wnd) {
            EndDialogOnExit end{wnd, 77};
            EXPECT_TRUE(PumpUntil([wnd] { return !::IsWindowVisible(wnd); }, 15000))
                << "the window did not close by itself";
        });
        EXPECT_EQ(r, 0) << "closed by itself";
        EXPECT_EQ(dlg->m_pRunner->m_dwExitCode, c.exitCode);
        const std::string head = c.startsWith;
        EXPECT_EQ(dlg->m_strOutput.substr(0, head.size()), std::wstring(head.begin(), head.end()));
    }
}

TEST_F(OutputDisplay, OutputIsPolledEveryHalfSecondAfterTheFirstTick)
{
    // One byte every 100 ms for 5 s: each tick finds new bytes, so each tick changes the text.
    std::wstring tool = tools->InstallTool(L"dism.exe");
    tools->AddEntry(StandinEntry::Exact(L"dism /trickle").Chunk(1, 100).Stdout(std::string(50, 'x')).Exit(0));
    std::vector<DWORD> changes;
    const DWORD opened = ::GetTickCount();
    Run(tool, L"dism /trickle", EXEC_HIDE_CONSOLE, [this, &changes](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        // Bytes of the test's own, there long before the first tick: the first change shows that
        // tick, however slowly the tool starts.
        {
            TSysLockGuard lock(dlg->m_pRunner->m_cs);
            dlg->m_pRunner->m_pOutput->Append("!", 1);
        }
        std::wstring last;
        PumpUntil([&] {
            std::wstring now = ItemText(wnd, 1002);
            if (now != last)
            {
                changes.push_back(::GetTickCount());
                last = now;
            }
            return changes.size() >= 7;
        }, 15000);
        Click(wnd, IDCANCEL);
    });
    ASSERT_GE(changes.size(), 7u) << "the text stopped changing";
    // The first tick comes a second after the window opens, not half a second.
    EXPECT_GE(changes[0] - opened, 900u);
    EXPECT_LT(changes[0] - opened, 2500u);
    std::vector<DWORD> gaps;
    for (size_t i = 2; i < changes.size(); ++i)
        gaps.push_back(changes[i] - changes[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    // Ticks every 500 ms; re-armed at 1000 ms the typical gap would be twice that.
    EXPECT_LT(gaps[gaps.size() / 2], 800u);
    EXPECT_GT(gaps[gaps.size() / 2], 300u);
}

TEST_F(OutputDisplay, CancelDuringAFloodClosesTheWindowAndStopsTheRunner)
{
    TextSpy spy(1002);
    DWORD clicked = 0;
    INT_PTR r = Run(Child(), L"vantrel_child.exe flood", EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE,
                    [&clicked](HWND wnd) {
                        EndDialogOnExit end{wnd, 77};
                        ASSERT_TRUE(PumpUntil([wnd] { return ::GetWindowTextLengthW(::GetDlgItem(wnd, 1002)) > 0; },
                                              15000));
                        PumpUntil([] { return false; }, 1500);   // let the flood pile up
                        clicked = ::GetTickCount();
                        Click(wnd, IDCANCEL);
                    });
    EXPECT_EQ(r, 1);
    // A deadline that only catches a hang: the stop itself gives the worker 3000 ms.
    EXPECT_LT(::GetTickCount() - clicked, 20000u);
    EXPECT_FALSE(dlg->m_pRunner->IsRunning()) << "Cancel must stop the runner before the window closes";
    EXPECT_EQ(dlg->m_pRunner->m_dwExitCode, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_FALSE(dlg->Succeeded());
    ASSERT_FALSE(spy.Texts().empty());
    EXPECT_EQ(spy.Texts().back(), L"") << "the output box is emptied on a cancel while running";
    EXPECT_EQ(dlg->m_strOutput.substr(0, 8), L"abcdefgh") << "the text shown before the cancel stays";
}

} // namespace
