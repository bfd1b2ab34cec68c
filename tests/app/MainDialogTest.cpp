// The main dialog as a user sees it: groups, row order, descriptions, the start button.
#include "app/App.h"
#include "app/DlgMain.h"
#include "app/TaskTable.h"
#include "app/Tasks.h"
#include "pages/capabilities/DlgSysCapsOnDemand.h"
#include "pages/driverstore/DlgDriverStore.h"
#include "pages/eventlogs/DlgSysLog.h"
#include "pages/storeapps/DlgWsApps.h"
#include "pages/storeapps/DlgWsPrvApps.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <cwchar>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

struct Row
{
    std::wstring text;
    int group;
    UINT state;
};

std::vector<Row> ReadRows(HWND list)
{
    std::vector<Row> rows;
    int n = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i)
    {
        wchar_t text[128] = {};
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_GROUPID | LVIF_STATE;
        item.iItem = i;
        item.pszText = text;
        item.cchTextMax = 128;
        item.stateMask = LVIS_SELECTED;
        ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        rows.push_back(Row{text, item.iGroupId, item.state});
    }
    return rows;
}

int IndexOf(HWND list, const std::wstring& text)
{
    LVFINDINFOW find = {};
    find.flags = LVFI_STRING;
    find.psz = text.c_str();
    return static_cast<int>(::SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

void Select(HWND list, int index)
{
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void Deselect(HWND list)
{
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = 0;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

std::wstring Description(const wchar_t* name)
{
    for (const TTaskRow& row : TaskTable)
        if (std::wstring(row.pszName) == name)
            return row.pTask->pszDescription;
    return std::wstring();
}

class MainDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static bool once = false;
        if (!once)
        {
            INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
            ::InitCommonControlsEx(&icc);
            theApp.InitSystemState();
            once = true;
        }
    }
    void TearDown() override { ClearActions(); }

    // Runs the main dialog, acts on it once it is up, and gives back the modal result.
    INT_PTR Run(std::function<void(HWND)> action)
    {
        OnWindow(L"Sys_Vantrel32", std::move(action));
        CDlgMain dlg(nullptr);
        INT_PTR r = dlg.DoModal();
        EXPECT_EQ(theApp.m_pMainDlg, &dlg) << "the running dialog is the parent of every task window";
        return r;
    }
};

// What the dialog asks of its list view, seen on the way in: Wine's list view keeps no
// groups, so the groups and group ids are checked as they are sent.
struct SentToList
{
    struct Group { int index; std::wstring header; int id; UINT align; UINT state; };
    struct Item { int index; std::wstring text; int group; UINT state; UINT stateMask; };
    std::vector<Group> groups;
    std::vector<Item> items;
    bool groupView = false;
};
SentToList* g_sent = nullptr;

LRESULT CALLBACK WatchList(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && g_sent != nullptr && ::GetDlgCtrlID(m->hwnd) == 1000)
    {
        if (m->message == LVM_ENABLEGROUPVIEW)
            g_sent->groupView = m->wParam != 0;
        else if (m->message == LVM_INSERTGROUP)
        {
            const LVGROUP* g = reinterpret_cast<const LVGROUP*>(m->lParam);
            g_sent->groups.push_back({static_cast<int>(m->wParam), g->pszHeader ? g->pszHeader : L"", g->iGroupId,
                                      g->uAlign, g->state});
        }
        else if (m->message == LVM_INSERTITEMW)
        {
            const LVITEMW* it = reinterpret_cast<const LVITEMW*>(m->lParam);
            g_sent->items.push_back({it->iItem, it->pszText ? it->pszText : L"", it->iGroupId,
                                     (it->mask & LVIF_STATE) ? it->state : 0, (it->mask & LVIF_STATE) ? it->stateMask : 0});
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainDialog, InsertsTheNineGroupsAndEveryRowAtTheTopWithItsGroup)
{
    SentToList sent;
    g_sent = &sent;
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, WatchList, nullptr, ::GetCurrentThreadId());
    Run([](HWND dlg) {
        EndDialogOnExit end{dlg, IDOK};
        EXPECT_EQ(TextOf(dlg), L"Sys_Vantrel32 - v1.8.39.0");
    });
    ::UnhookWindowsHookEx(hook);
    g_sent = nullptr;

    EXPECT_TRUE(sent.groupView);
    ASSERT_EQ(sent.groups.size(), 9u);
    for (int id = 0; id < 9; ++id)
    {
        EXPECT_EQ(sent.groups[id].index, id);
        EXPECT_EQ(sent.groups[id].id, id);
        EXPECT_EQ(sent.groups[id].header, TaskGroupNames[id]);
        EXPECT_EQ(sent.groups[id].align, static_cast<UINT>(LVGA_HEADER_CENTER));
        EXPECT_EQ(sent.groups[id].state, static_cast<UINT>(LVGS_NORMAL));
    }
    ASSERT_EQ(sent.items.size(), 21u);
    for (int row = 0; row < 21; ++row)
    {
        EXPECT_EQ(sent.items[row].index, 0);
        EXPECT_EQ(sent.items[row].text, TaskTable[row].pszName);
        EXPECT_EQ(sent.items[row].group, static_cast<int>(TaskTable[row].nGroup));
        EXPECT_EQ(sent.items[row].state, row == 0 ? static_cast<UINT>(LVIS_SELECTED) : 0u);
    }
}

TEST_F(MainDialog, RowsEndInReverseTableOrderAndAboutStartsSelectedAndShown)
{
    Run([](HWND dlg) {
        EndDialogOnExit end{dlg, IDOK};
        std::vector<Row> rows = ReadRows(::GetDlgItem(dlg, 1000));
        ASSERT_EQ(rows.size(), 21u);
        // Every row went in at index 0, so index order is the table read backwards; within a
        // group that is the order a user sees ("User License" above "About").
        for (int i = 0; i < 21; ++i)
            EXPECT_EQ(rows[i].text, TaskTable[20 - i].pszName);
        for (const Row& r : rows)
            EXPECT_EQ((r.state & LVIS_SELECTED) != 0, r.text == L"About") << std::string(r.text.begin(), r.text.end());
        // The insertion's selection is reported as a change: About's text is shown at once.
        EXPECT_EQ(ItemText(dlg, 1001), Description(L"About"));
        EXPECT_EQ(ItemText(dlg, 1002), L"... task not available ...");
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dlg, 1002)));
    });
}

TEST_F(MainDialog, SelectionShowsDescriptionAndAvailability)
{
    Run([](HWND dlg) {
        EndDialogOnExit end{dlg, IDOK};
        HWND list = ::GetDlgItem(dlg, 1000);
        HWND start = ::GetDlgItem(dlg, 1002);

        Select(list, IndexOf(list, L"User License"));
        EXPECT_EQ(ItemText(dlg, 1001), Description(L"User License"));
        EXPECT_FALSE(::IsWindowEnabled(start));
        EXPECT_EQ(TextOf(start), L"... task not available ...");

        // cmd.exe is in every system folder, cleanmgr.exe is not in Wine's.
        Select(list, IndexOf(list, L"Command Prompt"));
        EXPECT_EQ(ItemText(dlg, 1001), Description(L"Command Prompt"));
        EXPECT_TRUE(::IsWindowEnabled(start));
        EXPECT_EQ(TextOf(start), L"Let's Start It!!!");

        // Losing the selection keeps the last task current, with its text and button.
        Deselect(list);
        EXPECT_EQ(ItemText(dlg, 1001), Description(L"Command Prompt"));
        EXPECT_TRUE(::IsWindowEnabled(start));

        Select(list, IndexOf(list, L"Disk Cleanup utility"));
        EXPECT_EQ(ItemText(dlg, 1001), Description(L"Disk Cleanup utility"));
        EXPECT_FALSE(::IsWindowEnabled(start));
        EXPECT_EQ(TextOf(start), L"... task not available ...");
    });
}

TEST_F(MainDialog, EscEndsTheDialogAsCancel)
{
    INT_PTR r = Run([](HWND dlg) {
        HWND list = ::GetDlgItem(dlg, 1000);
        ::PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(r, IDCANCEL);
}

TEST_F(MainDialog, DescriptionBoxUsesFixedPitchFontAndWindowBackground)
{
    Run([](HWND dlg) {
        EndDialogOnExit end{dlg, IDOK};
        HWND edit = ::GetDlgItem(dlg, 1001);
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(edit, WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(font, theApp.m_font.GetSafeHandle());
        LOGFONTW lf = {};
        ::GetObjectW(font, sizeof(lf), &lf);
        EXPECT_STREQ(lf.lfFaceName, L"Courier New");
        HDC dc = ::GetDC(edit);
        LRESULT brush = ::SendMessageW(dlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit));
        ::ReleaseDC(edit, dc);
        EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), ::GetSysColorBrush(COLOR_WINDOW));
        HWND list = ::GetDlgItem(dlg, 1000);
        EXPECT_NE(::SendMessageW(list, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font)) << "the list keeps the dialog font";
    });
}

// Every row's availability test and run function: a row wired to its neighbour's function looks
// and behaves like a working row, so only the table itself can tell.
TEST(TaskTableRows, EachRowHasItsOwnGroupAvailabilityAndRunFunction)
{
    struct Expected
    {
        UINT group;
        const wchar_t* name;
        bool (*available)();
        bool (*run)();
    };
    const Expected expected[TASK_ROW_COUNT] = {
        {0, L"About", nullptr, nullptr},
        {0, L"User License", nullptr, nullptr},
        {1, L"Disk Cleanup utility", IsCleanmgrPresent, TaskDiskCleanup},
        {1, L"System Logs", IsWevtutilPresent, TaskSystemLogs},
        {1, L"Capabilities on Demand", IsDismPresent, TaskCapabilitiesOnDemand},
        {2, L"Installed Apps", IsPowerShellPresentWin10, TaskStoreApps},
        {2, L"Provisioned Apps", IsPowerShellPresentWin10, TaskProvisionedApps},
        {3, L"Analyze", IsDismPresentWin81, TaskDismAnalyzeComponentStore},
        {3, L"Cleanup", IsDismPresentWin81, TaskDismComponentCleanup},
        {3, L"Cleanup + Reset Base", IsDismPresentWin81, TaskDismComponentCleanupResetBase},
        {3, L"Health Check", IsDismPresentWin81, TaskDismCheckHealth},
        {3, L"Health Scan", IsDismPresent, TaskDismScanHealth},
        {4, L"OEM drivers repository", IsDismPresent, TaskOemDriversRepository},
        {4, L"Sign. Verification", IsBcdeditPresent, TaskDriverSignature},
        {5, L"Legacy Boot Menu", IsBcdeditPresent, TaskLegacyBootMenu},
        {5, L"Safe Mode", IsBcdeditPresent, TaskSafeMode},
        {5, L"Schedule Memory Test", IsMdschedPresent, TaskMemoryTest},
        {6, L"User Accounts", IsNetplwizPresent, TaskUserAccounts},
        {7, L"Command Prompt", IsCmdPresent, TaskCommandPrompt},
        {7, L"PowerShell Prompt", IsPowerShellPresent, TaskPowerShellPrompt},
        {8, L"Remove SP uninstall data", IsDismPresent, TaskDismRemoveSpData},
    };
    for (int i = 0; i < TASK_ROW_COUNT; ++i)
    {
        const std::string label(expected[i].name, expected[i].name + wcslen(expected[i].name));
        EXPECT_EQ(TaskTable[i].nGroup, expected[i].group) << label;
        EXPECT_EQ(std::wstring(TaskTable[i].pszName), expected[i].name) << label;
        ASSERT_NE(TaskTable[i].pTask, nullptr) << label;
        EXPECT_EQ(TaskTable[i].pTask->pfnIsAvailable, expected[i].available) << label;
        EXPECT_EQ(TaskTable[i].pTask->pfnRun, expected[i].run) << label;
        for (int j = 0; j < i; ++j)
            EXPECT_NE(TaskTable[i].pTask, TaskTable[j].pTask) << label << ": each row has a record of its own";
    }
}

} // namespace
