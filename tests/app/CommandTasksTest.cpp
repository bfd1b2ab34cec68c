// The component-store and boot tasks run exactly their command lines, with the prompt's answer.
#include "app/App.h"
#include "app/Tasks.h"
#include "framework/TaskDialog.h"
#include "tests/support/StandinWindowTest.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <memory>

using namespace testsupport;

namespace {

const wchar_t kExec[] = L"Executing Command...";

class CommandTasks : public StandinWindowTest
{
protected:
    void SetUp() override
    {
        StandinWindowTest::SetUp();
        tools->InstallTool(L"dism.exe");
        tools->InstallTool(L"bcdedit.exe");
        theApp.m_strSysDir = tools->SystemFolder() + L"\\";
        theApp.m_strDismPath = theApp.m_strSysDir + L"dism.exe";
        // Every command prints a progress line, so the window shows whether it collapses.
        tools->AddEntry(StandinEntry::Glob(L"*").Stdout("10%\r20%\r30%\r\n").Exit(0));
    }
    void TearDown() override
    {
        CTaskDialog::SetUnsupportedForTesting(false);
        StandinWindowTest::TearDown();
    }

    // Waits for the command window's result line, notes the output, closes it.
    void ExpectCommandWindow(std::wstring* output)
    {
        OnWindow(kExec, [output](HWND wnd) {
            EndDialogOnExit end{wnd, IDCANCEL};
            ASSERT_TRUE(WaitForResultLine(wnd));
            EXPECT_EQ(ItemText(wnd, IDCANCEL), L"DONE - (result: 0 - 0)");
            PumpUntil([] { return false; }, 700);
            EXPECT_TRUE(::IsWindowVisible(wnd)) << "no command task closes its window by itself";
            *output = ItemText(wnd, 1002);
            Click(wnd, IDCANCEL);
        });
    }
};

TEST_F(CommandTasks, DismTasksRunTheirCommandLinesAndCollapseProgressExceptSpCleanup)
{
    struct Case { bool (*task)(); const wchar_t* command; bool collapses; };
    const Case cases[] = {
        {TaskDismCheckHealth, L"dism /Online /Cleanup-Image /CheckHealth /english", true},
        {TaskDismScanHealth, L"dism /Online /Cleanup-Image /ScanHealth /english", true},
        {TaskDismRemoveSpData, L"dism /Online /Cleanup-Image /spsuperseded /hidesp /english", false},
        {TaskDismComponentCleanup, L"dism /Online /Cleanup-Image /StartComponentCleanup /english", true},
        {TaskDismComponentCleanupResetBase, L"dism /Online /Cleanup-Image /StartComponentCleanup /ResetBase /english", true},
        {TaskDismAnalyzeComponentStore, L"dism /Online /Cleanup-Image /AnalyzeComponentStore /english", true},
    };
    for (const Case& c : cases)
    {
        tools->ClearCommands();
        std::wstring output;
        ExpectCommandWindow(&output);
        EXPECT_TRUE(c.task());
        EXPECT_EQ(tools->Commands(), std::vector<std::wstring>{c.command});
        EXPECT_EQ(output, c.collapses ? L"30%\r\n" : L"10%\r20%\r30%\r\n") << std::string(c.command, c.command + wcslen(c.command));
    }
}

// Clicks a command link or button of the task dialog the way a user's click ends it.
void ClickTaskButton(HWND dlg, int id)
{
    ::PostMessageW(dlg, TDM_CLICK_BUTTON, static_cast<WPARAM>(id), 0);
}

struct FindText
{
    const std::wstring* text;
    bool found;
};

BOOL CALLBACK FindChildText(HWND child, LPARAM lp)
{
    FindText* f = reinterpret_cast<FindText*>(lp);
    if (TextOf(child).rfind(*f->text, 0) == 0)
    {
        f->found = true;
        return FALSE;
    }
    return TRUE;
}

bool HasChildWithText(HWND parent, const std::wstring& text)
{
    FindText f{&text, false};
    ::EnumChildWindows(parent, FindChildText, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

TEST_F(CommandTasks, TaskDialogAnswersRunTheChosenValueAndCancelRunsNothing)
{
    ASSERT_TRUE(CTaskDialog::IsSupported()) << "Common Controls 6 is bound by the manifest";
    struct Case { bool (*task)(); const wchar_t* yesLink; const wchar_t* yes; const wchar_t* no; };
    const Case cases[] = {
        {TaskLegacyBootMenu, L"YES (enable Legacy Boot Manager)", L"bcdedit /set {default} bootmenupolicy legacy",
         L"bcdedit /set {default} bootmenupolicy standard"},
        {TaskSafeMode, L"YES (enable Safe Mode)", L"bcdedit /set {default} safeboot minimal",
         L"bcdedit /deletevalue {default} safeboot"},
        {TaskDriverSignature, L"YES (turn it OFF)", L"bcdedit /set {default} nointegritychecks ON",
         L"bcdedit /set {default} nointegritychecks OFF"},
    };
    bool shot = false;
    for (const Case& c : cases)
    {
        std::wstring output;
        tools->ClearCommands();
        OnWindow(L"Sys_Vantrel32", [&c, &shot](HWND dlg) {
            EXPECT_TRUE(HasChildWithText(dlg, c.yesLink)) << "the YES link carries its text";
            if (!shot)
                shot = SaveWindowBitmap(dlg, L"boot-task-prompt.bmp");
            ClickTaskButton(dlg, 1000000);
        });
        ExpectCommandWindow(&output);
        EXPECT_TRUE(c.task());
        EXPECT_EQ(output, L"10%\r20%\r30%\r\n") << "boot commands show their output as it comes";

        OnWindow(L"Sys_Vantrel32", [](HWND dlg) { ClickTaskButton(dlg, 1000001); });
        ExpectCommandWindow(&output);
        EXPECT_TRUE(c.task());

        OnWindow(L"Sys_Vantrel32", [](HWND dlg) { ClickTaskButton(dlg, IDCANCEL); });
        EXPECT_FALSE(c.task());
        EXPECT_EQ(tools->Commands(), (std::vector<std::wstring>{c.yes, c.no}));
    }
}

TEST_F(CommandTasks, MessageBoxFallbackAsksYesNoCancelWithNoAsDefault)
{
    CTaskDialog::SetUnsupportedForTesting(true);
    EXPECT_EQ(AskTaskChoice(L"x", L"y", nullptr), IDCANCEL) << "no task dialog, no answer";
    const std::wstring caption = theApp.GetAppName();
    std::wstring output;

    // Enter at once answers No, the default button.
    OnWindow(caption, [](HWND box) {
        EXPECT_EQ(ItemText(box, 0xFFFF), L"Do you wish to disable 'Driver Signature Verification'?YES -> turn it off\nNO -> turn it on");
        EXPECT_NE(::GetDlgItem(box, IDCANCEL), nullptr);
        // Enter goes to the focused control; the dialog manager presses the default button.
        HWND focus = ::GetFocus();
        ::PostMessageW(focus ? focus : box, WM_KEYDOWN, VK_RETURN, 0);
        ::PostMessageW(focus ? focus : box, WM_KEYUP, VK_RETURN, 0xC0000001);
    });
    ExpectCommandWindow(&output);
    EXPECT_TRUE(TaskDriverSignature());

    OnWindow(caption, [](HWND box) {
        EXPECT_EQ(ItemText(box, 0xFFFF), L"Do you wish to enable the Legacy Boot Menu?\nYES - enable it\nNO - use the standard one");
        ::SendMessageW(box, WM_COMMAND, IDYES, 0);
    });
    ExpectCommandWindow(&output);
    EXPECT_TRUE(TaskLegacyBootMenu());

    OnWindow(caption, [](HWND box) {
        EXPECT_EQ(ItemText(box, 0xFFFF),
                  L"Do you wish to trigger the Safe Mode for the next system reboot?\nYES - enable it\nNO - set/keep the default one");
        ::SendMessageW(box, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(TaskSafeMode());

    EXPECT_EQ(tools->Commands(), (std::vector<std::wstring>{L"bcdedit /set {default} nointegritychecks OFF",
                                                            L"bcdedit /set {default} bootmenupolicy legacy"}));
}

} // namespace
