// The progress window and the number prompt, the three templates against their tables, the refused-names
// message, and how failures are told.
#include "dialogs/DlgGetIntValue.h"
#include "dialogs/DlgList.h"
#include "dialogs/DlgTask.h"
#include "dialogs/RefusedNames.h"
#include "framework/WinApp.h"
#include "resources/resource.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <algorithm>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

class SmallDialogs : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
    }
    void TearDown() override { ClearActions(); }
};

// A control's place in the dialog's client area. The dialog manager maps position and size
// from dialog units separately, so they are compared separately.
void ExpectPlaced(HWND dlg, int id, RECT units, bool checkHeight = true)
{
    HWND control = ::GetDlgItem(dlg, id);
    ASSERT_NE(control, nullptr) << "control " << id;
    RECT pos = {units.left, units.top, 0, 0}, size = {0, 0, units.right, units.bottom};
    ::MapDialogRect(dlg, &pos);
    ::MapDialogRect(dlg, &size);
    RECT rc;
    ::GetWindowRect(control, &rc);
    ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, pos.left) << "control " << id;
    EXPECT_EQ(rc.top, pos.top) << "control " << id;
    EXPECT_EQ(rc.right - rc.left, size.right) << "control " << id;
    if (checkHeight)
    {
        EXPECT_EQ(rc.bottom - rc.top, size.bottom) << "control " << id;
    }
}

// x, y, width and height in dialog units, as the templates' tables give them.
RECT Units(int x, int y, int cx, int cy)
{
    return RECT{x, y, cx, cy};
}

void ExpectClientUnits(HWND dlg, int cx, int cy)
{
    RECT units = {0, 0, cx, cy}, client;
    ::MapDialogRect(dlg, &units);
    ::GetClientRect(dlg, &client);
    EXPECT_EQ(client.right, units.right);
    EXPECT_EQ(client.bottom, units.bottom);
}

TEST_F(SmallDialogs, ChecklistTemplateMatchesItsTable)
{
    CDlgList page(nullptr);
    page.m_strTitle = L"Template Check";
    OnWindow(L"Template Check", [](HWND dlg) {
        EndDialogOnExit end{dlg, IDOK};
        ExpectClientUnits(dlg, 522, 239);
        const LONG style = ::GetWindowLongW(dlg, GWL_STYLE);
        EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX),
                  WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX);
        ExpectPlaced(dlg, IDC_EDIT_FILTER, Units(2, 2, 70, 14));
        ExpectPlaced(dlg, IDC_CB_MODE, Units(75, 4, 119, 35), false);
        ExpectPlaced(dlg, IDC_BTN_CHECK, Units(197, 2, 60, 14));
        ExpectPlaced(dlg, IDC_BTN_REFRESH, Units(260, 2, 60, 14));
        ExpectPlaced(dlg, IDC_BTN_COMMIT, Units(465, 2, 54, 14));
        ExpectPlaced(dlg, IDC_LIST_ITEMS, Units(0, 19, 522, 220));
        ExpectPlaced(dlg, IDC_ST_STATUS, Units(323, 5, 140, 8));
        EXPECT_EQ(ItemText(dlg, IDC_BTN_REFRESH), L"Refresh");
        EXPECT_EQ(ItemText(dlg, IDC_BTN_COMMIT), L"Commit");
        const LONG combo = ::GetWindowLongW(::GetDlgItem(dlg, IDC_CB_MODE), GWL_STYLE);
        EXPECT_EQ(combo & (CBS_DROPDOWNLIST | CBS_SORT), CBS_DROPDOWNLIST | CBS_SORT);
    });
    page.DoModal();
}

TEST_F(SmallDialogs, ProgressWindowSitsCentredOnItsParentAndCancelRaisesTheAbortFlag)
{
    for (SIZE parentSize : {SIZE{900, 500}, SIZE{200, 60}})
    {
        HWND parent = ::CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP | WS_VISIBLE, 101, 77, parentSize.cx, parentSize.cy,
                                        nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent, nullptr);
        CWnd parentWnd(parent);
        CDlgTask task(&parentWnd);
        ASSERT_TRUE(task.Create(IDD_DLG_TASK, &parentWnd));
        EXPECT_TRUE(task.IsWindowVisible());
        EXPECT_EQ(::GetWindowLongW(task, GWL_STYLE) & WS_SYSMENU, 0);
        ExpectClientUnits(task, 311, 48);
        ExpectPlaced(task, IDCANCEL, Units(100, 30, 114, 14));
        ExpectPlaced(task, IDC_ST_TASK_TEXT, Units(4, 4, 303, 8));
        ExpectPlaced(task, IDC_PB_TASK, Units(4, 16, 303, 10));

        RECT own, outer;
        task.GetWindowRect(&own);
        ::GetWindowRect(parent, &outer);
        const int w = own.right - own.left, h = own.bottom - own.top;
        EXPECT_EQ(own.left, outer.left + (parentSize.cx - w) / 2);
        EXPECT_EQ(own.top, outer.top + (parentSize.cy - h) / 2);

        EXPECT_FALSE(task.m_bAbort);
        Click(task, IDCANCEL);
        EXPECT_TRUE(task.m_bAbort);
        EXPECT_FALSE(task.IsWindowVisible());
        task.DestroyWindow();
        ::DestroyWindow(parent);
    }
}

// Runs the prompt; `action` types into it and ends it. Returns the modal result.
INT_PTR RunPrompt(CDlgGetIntValue& prompt, std::function<void(HWND)> action)
{
    prompt.m_strCaption = L"Maximum size";
    prompt.m_strLabel = L"Size in Mb:";
    OnWindow(L"Maximum size", [action](HWND dlg) {
        action(dlg);
        // An action that failed before ending the prompt must not leave it open.
        if (::IsWindowVisible(dlg))
            ::EndDialog(dlg, 99);
    });
    return prompt.DoModal();
}

bool OkEnabled(HWND dlg)
{
    return ::IsWindowEnabled(::GetDlgItem(dlg, IDOK)) != FALSE;
}

void Enter(HWND dlg, const wchar_t* text)
{
    ::SetDlgItemTextW(dlg, IDC_EDIT_VALUE, text);
}

TEST_F(SmallDialogs, NumberPromptAcceptsOnlyValuesWithinItsBounds)
{
    CDlgGetIntValue prompt(nullptr);
    prompt.m_nMin = 1;
    prompt.m_nMax = 1024;
    prompt.m_nValue = 20;
    INT_PTR r = RunPrompt(prompt, [&prompt](HWND dlg) {
        ExpectClientUnits(dlg, 195, 47);
        ExpectPlaced(dlg, IDC_EDIT_VALUE, Units(111, 3, 80, 14));
        ExpectPlaced(dlg, IDOK, Units(87, 30, 50, 14));
        ExpectPlaced(dlg, IDCANCEL, Units(141, 30, 50, 14));
        ExpectPlaced(dlg, IDC_ST_VALUE_LABEL, Units(3, 6, 105, 8));
        EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(dlg, IDC_EDIT_VALUE), GWL_STYLE) & ES_NUMBER);
        EXPECT_EQ(ItemText(dlg, IDC_ST_VALUE_LABEL), L"Size in Mb:");
        EXPECT_EQ(ItemText(dlg, IDC_EDIT_VALUE), L"");
        EXPECT_FALSE(OkEnabled(dlg)) << "an empty box is no number";
        Enter(dlg, L"0");
        EXPECT_FALSE(OkEnabled(dlg));
        Enter(dlg, L"1");
        EXPECT_TRUE(OkEnabled(dlg));
        Enter(dlg, L"1024");
        EXPECT_TRUE(OkEnabled(dlg));
        Enter(dlg, L"1025");
        EXPECT_FALSE(OkEnabled(dlg));
        EXPECT_EQ(prompt.m_nValue, 1024);
        // Enter with a value out of bounds must not hand back an earlier one.
        ::SendMessageW(dlg, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(::IsWindowVisible(dlg));
        Click(dlg, IDOK);
        EXPECT_TRUE(::IsWindowVisible(dlg));
        Enter(dlg, L"512");
        Enter(dlg, L"");
        EXPECT_FALSE(OkEnabled(dlg));
        EXPECT_EQ(prompt.m_nValue, 512) << "the last valid value stays";
        Enter(dlg, L"1024");
        Enter(dlg, L"1025");
        EXPECT_EQ(prompt.m_nValue, 1024);
        Enter(dlg, L"7");
        Click(dlg, IDOK);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_FALSE(prompt.m_bCancelled);
    EXPECT_EQ(prompt.m_nValue, 7);
}

TEST_F(SmallDialogs, NumberPromptWithoutAMaximumAboveTheMinimumTakesEveryValueFromTheMinimum)
{
    CDlgGetIntValue prompt(nullptr);
    prompt.m_nMin = 5;
    prompt.m_nMax = 5;
    prompt.m_nValue = 0;
    RunPrompt(prompt, [&prompt](HWND dlg) {
        Enter(dlg, L"4");
        EXPECT_FALSE(OkEnabled(dlg));
        Enter(dlg, L"5");
        EXPECT_TRUE(OkEnabled(dlg));
        Enter(dlg, L"2000000000");
        EXPECT_TRUE(OkEnabled(dlg));
        EXPECT_EQ(prompt.m_nValue, 2000000000);
        Enter(dlg, L"-7");
        EXPECT_FALSE(OkEnabled(dlg)) << "unsigned reading: a minus sign is no number";
        Click(dlg, IDCANCEL);
    });
    EXPECT_TRUE(prompt.m_bCancelled);
    EXPECT_EQ(prompt.m_nValue, 2000000000) << "cancel keeps the last valid value; the creator tests the flag";

    CDlgGetIntValue signedPrompt(nullptr);
    signedPrompt.m_bSigned = true;
    signedPrompt.m_nMin = -10;
    signedPrompt.m_nMax = 10;
    INT_PTR r = RunPrompt(signedPrompt, [](HWND dlg) {
        Enter(dlg, L"-11");
        EXPECT_FALSE(OkEnabled(dlg));
        Enter(dlg, L"-7");
        EXPECT_TRUE(OkEnabled(dlg));
        Click(dlg, IDOK);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(signedPrompt.m_nValue, -7);
}

// A dialog whose set-up or whose first posted message throws what the test gives it. A later
// posted message ends it with 55, which only a dialog that lived on after the exception can do.
class TThrowingDialog : public CDialog
{
public:
    TThrowingDialog(bool inInit, std::function<void()> raise)
        : CDialog(IDD_DLG_GET_INT), m_bInInit(inInit), m_raise(std::move(raise))
    {
    }

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (!m_bInInit)
            ::PostMessageW(m_hWnd, WM_APP, 0, 0);
        // Also after a set-up that throws: a dialog kept open after it would end with 55 then.
        ::PostMessageW(m_hWnd, WM_APP + 1, 0, 0);
        if (m_bInInit)
            m_raise();
        return TRUE;
    }
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (msg == WM_APP)
            m_raise();
        if (msg == WM_APP + 1)
        {
            EndDialog(55);
            return true;
        }
        return CDialog::OnMessage(msg, wParam, lParam, result);
    }

private:
    bool m_bInInit;
    std::function<void()> m_raise;
};

// Texts of a window's children, one after another.
BOOL CALLBACK AppendChildText(HWND child, LPARAM lParam)
{
    *reinterpret_cast<std::wstring*>(lParam) += TextOf(child) + L"|";
    return TRUE;
}

TEST_F(SmallDialogs, ExceptionInADialogIsToldToTheUserAndTheProgramGoesOn)
{
    wchar_t path[MAX_PATH] = {};
    std::wstring name(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    name = name.substr(name.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.rfind(L'.'));

    struct Case
    {
        bool inInit;
        std::function<void()> raise;
        const wchar_t* told;   // part of the report's text
        INT_PTR result;        // a set-up that broke off ends the dialog as cancelled
    };
    const Case cases[] = {
        {true, [] { throw std::runtime_error("table header missing"); }, L"table header missing", IDCANCEL},
        {false, [] { throw std::bad_alloc(); }, L"not enough memory", 55},
        {false, [] { throw 7; }, L"unexpected error", 55},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.told);
        std::wstring report;
        OnWindow(name, [&report](HWND box) {
            EndDialogOnExit end{box, IDOK};
            ::EnumChildWindows(box, AppendChildText, reinterpret_cast<LPARAM>(&report));
            Click(box, IDOK);
        });
        TThrowingDialog dlg(c.inInit, c.raise);
        EXPECT_EQ(dlg.DoModal(), c.result);
        EXPECT_NE(report.find(c.told), std::wstring::npos) << std::string(report.begin(), report.end());
        EXPECT_NE(report.find(L"goes on running"), std::wstring::npos);
    }
}

TEST_F(SmallDialogs, RefusedNamesMessageListsTwentyNamesVisiblyAndCountsTheRest)
{
    const std::wstring head = L"Nothing was run for these names: they cannot be passed safely on a command line.\r\n";
    // Control characters and DEL are written out, in capitals; everything else stays as it is.
    TRefusedNames one;
    one.Add(L"a\x01\x1f\x7f\n\xe9 \"b\"");
    EXPECT_EQ(one.Text(), head + L"\r\n\"a\\x01\\x1F\\x7F\\x0A\xe9 \"b\"\"");

    struct Case
    {
        int names;
        const wchar_t* tail;
    };
    const Case cases[] = {{20, L""}, {21, L"\r\n... and 1 more"}, {57, L"\r\n... and 37 more"}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.names);
        TRefusedNames refused;
        std::wstring expected = head;
        for (int i = 0; i < c.names; ++i)
        {
            refused.Add(L"n" + std::to_wstring(i));
            if (i < 20)
                expected += L"\r\n\"n" + std::to_wstring(i) + L"\"";
        }
        EXPECT_EQ(refused.Text(), expected + c.tail);
    }
}

// The report boxes of this thread, each read and closed as it shows; the first one may fail again.
struct ReportBoxes
{
    std::wstring caption;
    std::function<void()> whileFirstIsShown;
    std::vector<std::wstring> texts;
    std::vector<HWND> handled;

    static ReportBoxes* s_current;
    static BOOL CALLBACK Next(HWND wnd, LPARAM found)
    {
        wchar_t cls[16] = {};
        ::GetClassNameW(wnd, cls, 16);
        if (::IsWindowVisible(wnd) && std::wstring(cls) == L"#32770" && TextOf(wnd) == s_current->caption &&
            std::find(s_current->handled.begin(), s_current->handled.end(), wnd) == s_current->handled.end())
        {
            *reinterpret_cast<HWND*>(found) = wnd;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        HWND box = nullptr;
        ::EnumThreadWindows(::GetCurrentThreadId(), Next, reinterpret_cast<LPARAM>(&box));
        if (box == nullptr)
            return;
        s_current->handled.push_back(box);
        s_current->texts.push_back(ItemText(box, 0xFFFF));
        if (s_current->texts.size() == 1 && s_current->whileFirstIsShown)
            s_current->whileFirstIsShown();
        ::SendMessageW(box, WM_COMMAND, IDOK, 0);
    }

    explicit ReportBoxes(std::function<void()> onFirst = nullptr) : whileFirstIsShown(std::move(onFirst))
    {
        wchar_t path[MAX_PATH] = {};
        caption.assign(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
        caption = caption.substr(caption.find_last_of(L"\\/") + 1);
        caption = caption.substr(0, caption.rfind(L'.'));
        s_current = this;
        timer = ::SetTimer(nullptr, 0, 50, Tick);
    }
    ~ReportBoxes()
    {
        ::KillTimer(nullptr, timer);
        s_current = nullptr;
    }
    UINT_PTR timer;
};
ReportBoxes* ReportBoxes::s_current = nullptr;

TEST_F(SmallDialogs, FailuresWhileAReportIsShownAreToldInOneBoxAfterIt)
{
    const std::runtime_error first("first failure"), second("second failure");
    ReportBoxes boxes([&second] {
        AfxReportException(&second);
        AfxReportException(nullptr);
    });
    AfxReportException(&first);
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_NE(boxes.texts[0].find(L"first failure"), std::wstring::npos);
    EXPECT_EQ(boxes.texts[1], L"2 more action(s) could not be completed and were abandoned while the message before "
                              L"was shown. The program goes on running.");
}

// Names its main window, then fails, as a start-up whose main dialog broke off would.
class TStartUpThatThrows : public CWinApp
{
public:
    BOOL InitInstance() override
    {
        m_pMainWnd = &m_window;
        throw std::runtime_error("start-up failed");
    }
    int ExitInstance() override { return 23; }
    CWnd m_window;
};

bool g_bLoopStopped = false;

void CALLBACK StopTheLoop(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    g_bLoopStopped = true;
    ::PostQuitMessage(0);
}

TEST_F(SmallDialogs, StartUpThatSetsItsMainWindowAndThrowsIsToldAndTheEntryPointReturns)
{
    // From here on this is the library's application object; it answers as the program's does (the
    // same name, and no main window once the test is over).
    static TStartUpThatThrows app;
    ReportBoxes boxes;
    g_bLoopStopped = false;
    const UINT_PTR guard = ::SetTimer(nullptr, 0, 5000, StopTheLoop);
    const int result = AfxWinMain(::GetModuleHandleW(nullptr));
    if (!g_bLoopStopped)
        ::KillTimer(nullptr, guard);
    app.m_pMainWnd = nullptr;
    EXPECT_FALSE(g_bLoopStopped) << "a start-up that failed was given a message loop and never returned";
    EXPECT_EQ(result, 23) << "the closing step runs and gives the result";
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].find(L"start-up failed"), std::wstring::npos);
}

} // namespace
