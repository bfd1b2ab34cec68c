// The driver store page as a user meets it: stand-in dism and pnputil, driver database keys and
// driver-store folders made for the test, the page driven through its controls.
#include "DriverStoreSetup.h"
#include "app/App.h"
#include "dialogs/DlgExecute.h"
#include "pages/driverstore/DlgDriverStore.h"
#include "resources/resource.h"
#include "tests/helpers/CommitRefusal.h"
#include "tests/support/PageDriver.h"
#include "tests/support/StandinWindowTest.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <thread>

using namespace testsupport;
using drvtest::DriverStoreSetup;

// Allocation failure on demand: once armed, the next allocation of exactly `size` bytes made on
// the arming thread throws std::bad_alloc, as it would when memory runs out just there.
namespace {
std::atomic<size_t> g_failSize{0};
std::atomic<DWORD> g_failThread{0};

void FailNextAllocationOf(size_t size)
{
    g_failThread = ::GetCurrentThreadId();
    g_failSize = size;
}
} // namespace

void* operator new(size_t size)
{
    if (g_failSize != 0 && size == g_failSize && ::GetCurrentThreadId() == g_failThread)
    {
        g_failSize = 0;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size != 0 ? size : 1))
        return p;
    throw std::bad_alloc();
}

// Not inlined: the compiler would see free() given what operator new returned, and warn.
__attribute__((noinline)) void operator delete(void* p) noexcept
{
    std::free(p);
}

__attribute__((noinline)) void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}

namespace {

typedef std::set<std::wstring> NameSet;

// This page has its own template: its rows are not in the checklist pages' list view.
const int kList = IDC_LIST_DRIVERS;
const wchar_t kPage[] = L"OEM drivers repository";
const wchar_t kExec[] = L"Executing Command...";
const wchar_t kInventory[] = L"dism /online /get-drivers /format:table /english";

const char kTableHead[] =
    "\r\nDeployment Image Servicing and Management tool\r\nVersion: 10.0.19041.844\r\n\r\n"
    "Image Version: 10.0.19045.3570\r\n\r\nObtaining list of 3rd party drivers from the driver store...\r\n\r\n"
    "Driver packages listing:\r\n\r\n"
    "Published Name | Original File Name | Inbox | Class Name | Provider Name | Date       | Version\r\n"
    "-------------- | ------------------ | ----- | ---------- | ------------- | ---------- | -------\r\n";
const char kTableTail[] = "\r\nThe operation completed successfully.\r\n";

// Two drivers in two packages each: the first package of each is the older one, and is marked.
const char* const kTwoDrivers[] = {
    "oem1.inf | alpha.inf | No | Display | A | 01/01/2020 | 1.0\r\n",
    "oem2.inf | alpha.inf | No | Display | A | 01/01/2020 | 2.0\r\n",
    "oem4.inf | beta.inf | No | Net | B | 01/01/2020 | 1.0\r\n",
    "oem6.inf | beta.inf | No | Net | B | 01/01/2020 | 2.0\r\n",
};

std::string TwoDriversTable()
{
    return std::string(kTableHead) + kTwoDrivers[0] + kTwoDrivers[1] + kTwoDrivers[2] + kTwoDrivers[3] + kTableTail;
}

// Row of a published name (column 6), -1 when it is not listed.
int RowOf(HWND dlg, const std::wstring& published)
{
    const Texts names = Column(dlg, 6, kList);
    const auto it = std::find(names.begin(), names.end(), published);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

NameSet Checked(HWND dlg)
{
    CListCtrl list = ListOf(dlg, kList);
    NameSet names;
    for (int i = 0; i < list.GetItemCount(); ++i)
        if (list.GetCheck(i))
            names.insert(list.GetItemText(i, 6));
    return names;
}

bool SortedNoCase(const Texts& texts, bool descending)
{
    for (size_t i = 1; i < texts.size(); ++i)
    {
        const int c = ::lstrcmpiW(texts[i - 1].c_str(), texts[i].c_str());
        if (descending ? c < 0 : c > 0)
            return false;
    }
    return true;
}

bool Enabled(HWND dlg, int id)
{
    return ::IsWindowEnabled(::GetDlgItem(dlg, id)) != FALSE;
}

// The command window of a command that fails: waits for its result line, checks it, closes it.
// Windows of other commands (which close by themselves) are left alone.
void ExpectFailedWindow(const std::wstring& commandPart, const std::wstring& done)
{
    OnWindow(kExec, [commandPart, done](HWND wnd) {
        if (ItemText(wnd, IDC_EDIT_COMMAND).find(commandPart) == std::wstring::npos)
        {
            ExpectFailedWindow(commandPart, done);
            return;
        }
        EndDialogOnExit end{wnd, IDCANCEL};
        ASSERT_TRUE(WaitForResultLine(wnd));
        EXPECT_EQ(ItemText(wnd, IDCANCEL), done);
        Click(wnd, IDCANCEL);
    });
}

class DriverStorePage : public StandinWindowTest
{
protected:
    void SetUp() override
    {
        StandinWindowTest::SetUp();
        tools->InstallTool(L"dism.exe");
        tools->InstallTool(L"pnputil.exe");
        saved[0] = theApp.m_strSysDir;
        saved[1] = theApp.m_strDismPath;
        savedCluster = theApp.m_nClusterSize;
        theApp.m_strSysDir = tools->SystemFolder() + L"\\";
        theApp.m_strDismPath = theApp.m_strSysDir + L"dism.exe";
        theApp.m_nClusterSize = 4096;
        store.reset(new DriverStoreSetup(theApp.m_strSysDir));
    }
    void TearDown() override
    {
        store.reset();
        theApp.m_strSysDir = saved[0];
        theApp.m_strDismPath = saved[1];
        theApp.m_nClusterSize = savedCluster;
        StandinWindowTest::TearDown();
    }

    // The inventory prints `out` and exits with `code`; `more` adds entries; anything else fails loudly.
    void Scenario(const std::string& out, unsigned code, const std::string& more = std::string())
    {
        tools->WriteScenarioFile(L"drivers.txt", out);
        tools->SetScenarioText("match: dism /online /get-drivers /format:table /english\nstdout-file: drivers.txt\n"
                               "exit: " + std::to_string(code) + "\n\n" + more + "\nmatch-glob: *\nexit: 77\n");
    }

    // Waits until the first collection has filled the list.
    static void WaitForRows(HWND dlg, int rows)
    {
        ASSERT_TRUE(PumpUntil([dlg, rows] { return Rows(dlg, kList) == rows; }, 15000)) << "rows: " << Rows(dlg, kList);
    }

    std::unique_ptr<DriverStoreSetup> store;
    std::wstring saved[2];
    UINT savedCluster = 0;
};

// The page with records made in place of a collection: it fills its list once and closes.
class FillOnlyPage : public CDlgRepoDrv
{
public:
    explicit FillOnlyPage(const Texts& infNames) : CDlgRepoDrv(nullptr), m_names(infNames) {}
    std::vector<LPARAM> shown, oneByOne;

protected:
    BOOL OnInitDialog() override
    {
        CDlgRepoDrv::OnInitDialog();
        KillTimer(1);   // no inventory command
        CDlgRepoDrvItem* last = nullptr;
        std::vector<std::pair<std::wstring, LPARAM>> rows;
        for (size_t i = 0; i < m_names.size(); ++i)
        {
            last = new CDlgRepoDrvItem(last);
            if (m_pItems == nullptr)
                m_pItems = last;
            last->m_strInfName = m_names[i];
            last->m_strPublishedName = L"oem" + std::to_wstring(i) + L".inf";
            rows.emplace_back(m_names[i], reinterpret_cast<LPARAM>(last));
        }
        FillList();
        shown = ItemDataOrder(m_list);
        oneByOne = OneByOneFillOrder(rows);
        EndDialog(IDOK);
        return TRUE;
    }
    Texts m_names;
};

TEST(DriverStoreFill, ShowsTheOrderOfRecordsInsertedOneByOneInTableOrder)
{
    InitListControls();
    for (const Texts& names : FillOrderCases())
    {
        FillOnlyPage page(names);
        ASSERT_EQ(page.DoModal(), IDOK);
        EXPECT_EQ(page.shown.size(), names.size());
        EXPECT_EQ(page.shown, page.oneByOne) << "first name of the case: " << testing::PrintToString(names[0]);
    }
}

TEST_F(DriverStorePage, CollectsOnFirstTimerMarksOlderPackagesAndSorts)
{
    Scenario(std::string(kTableHead) +
                 "oem3.inf       | gfxpack.inf        | No    | Display    | Acme Graphics | 01/02/2021 | 27.21.14.5671\r\n"
                 "oem7.inf       | gfxpack.inf        | No    | Display    | Acme Graphics | 03/04/2022 | 30.0.1.2\r\n"
                 "oem12.inf      | GFXPACK.INF        | No    | display    | ACME GRAPHICS | 05/06/2023 | 10.0.0.1\r\n"
                 "oem5.inf       | netcard.inf        | No    | Net        | Netco         | 05/05/2020 | 1.0.0.0\r\n"
                 "oem6.inf       | netcard.inf        | No    | Net        | Netco         | 06/05/2020 | 1.0.0.0\r\n"
                 "oem8.inf       | netcard.inf        | No    | Bluetooth  | Netco         | 01/01/2019 | 0.1\r\n"
                 "oem9.inf       | audio.inf          | No    | Media      | Soundco       | 02/02/2022 | 2.0\r\n"
                 "oem10.inf      | audio.inf          | No    | Media      | Soundco       | 02/02/2022 | 2.0\r\n"
                 "OEM11.inf      | late.inf           | No    | Media      | Soundco       | 02/02/2022 | 9.0\r\n" +
                 kTableTail,
             0);
    ASSERT_TRUE(store->AddFolder(L"gfxpack.inf_amd64_a", {1, 4097}));
    ASSERT_TRUE(store->AddFolder(L"gfxpack.inf_amd64_b", {4096}));
    ASSERT_TRUE(store->AddActive(drvtest::kSystemPath, L"oem3.inf", L"gfxpack.inf_amd64_a"));
    ASSERT_TRUE(store->AddActive(drvtest::kDriversPath, L"oem7.inf", L"gfxpack.inf_amd64_b"));
    ASSERT_TRUE(store->AddActive(drvtest::kSystemPath, L"oem9.inf", L"audio.inf_gone"));
    ASSERT_TRUE(store->AddActive(drvtest::kSystemPath, L"oem10.inf", L"..\\.."));
    ASSERT_TRUE(store->SetCreated(L"gfxpack.inf_amd64_a", 2021, 3, 5, 12, 0));

    OnWindow(kPage, [this](HWND dlg) {
        EndDialogOnExit end{dlg, IDOK};
        // Shown before anything is collected.
        EXPECT_EQ(Rows(dlg, kList), 0);
        EXPECT_EQ(ItemText(dlg, IDC_ST_DRV_STATUS), L"<items>");
        EXPECT_EQ(ItemText(dlg, IDC_BTN_DRV_DELETE), L"Delete Them!!!");
        EXPECT_TRUE(tools->Commands().empty());
        HWND header = ListOf(dlg, kList).GetHeaderCtrl();
        ASSERT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 7);

        WaitForRows(dlg, 8);
        EXPECT_EQ(tools->Commands(), Texts{kInventory});
        EXPECT_TRUE(SortedNoCase(Column(dlg, 0, kList), false)) << "rows arrive sorted by their first column";

        const int r3 = RowOf(dlg, L"oem3.inf");
        ASSERT_GE(r3, 0);
        CListCtrl list = ListOf(dlg, kList);
        EXPECT_EQ(list.GetItemText(r3, 0), L"gfxpack.inf");
        EXPECT_EQ(list.GetItemText(r3, 1), L"12 Kb");
        EXPECT_EQ(list.GetItemText(r3, 2), L"27.21.14.5671");
        EXPECT_EQ(list.GetItemText(r3, 3), L"Display");
        EXPECT_EQ(list.GetItemText(r3, 4), L"Acme Graphics");
        EXPECT_EQ(list.GetItemText(r3, 5), L"05/03/2021") << "the folder's date replaces the table's";
        EXPECT_EQ(list.GetItemText(RowOf(dlg, L"oem7.inf"), 1), L"4 Kb") << "found under the DRIVERS hive";
        EXPECT_EQ(list.GetItemText(RowOf(dlg, L"oem9.inf"), 1), L"");
        EXPECT_EQ(list.GetItemText(RowOf(dlg, L"oem9.inf"), 5), L"02/02/2022");
        EXPECT_EQ(list.GetItemText(RowOf(dlg, L"oem10.inf"), 1), L"") << "a value leading out of the store is not measured";
        EXPECT_EQ(RowOf(dlg, L"OEM11.inf"), -1) << "an upper-case row ends the table";

        // Older packages of one driver are marked: lower version, or same version and earlier date.
        const NameSet marked{L"oem12.inf", L"oem3.inf", L"oem5.inf"};
        EXPECT_EQ(Checked(dlg), marked);
        EXPECT_EQ(ItemText(dlg, IDC_ST_DRV_STATUS), L"Selected Drivers: 3/8 - 12 Kb / 16 Kb");
        EXPECT_EQ(ItemText(dlg, IDC_BTN_DRV_DELETE), L"REMOVE ITEMS");
        EXPECT_TRUE(Enabled(dlg, IDC_BTN_DRV_UNCHECK));
        SaveWindowBitmap(dlg, L"driver-store-page.bmp");

        Click(dlg, IDC_BTN_DRV_UNCHECK);
        EXPECT_TRUE(Checked(dlg).empty());
        EXPECT_EQ(ItemText(dlg, IDC_ST_DRV_STATUS), L"Selected Drivers: 0/8 - 0 bytes / 16 Kb");
        EXPECT_EQ(ItemText(dlg, IDC_BTN_DRV_DELETE), L"Exit");
        EXPECT_FALSE(Enabled(dlg, IDC_BTN_DRV_UNCHECK));

        list.SetCheck(RowOf(dlg, L"oem7.inf"), true);
        list.SetCheck(RowOf(dlg, L"oem9.inf"), true);
        EXPECT_EQ(ItemText(dlg, IDC_ST_DRV_STATUS), L"Selected Drivers: 2/8 - 4 Kb / 16 Kb") << "a user's tick counts at once";
        EXPECT_EQ(ItemText(dlg, IDC_BTN_DRV_DELETE), L"REMOVE ITEMS");
        Click(dlg, IDC_BTN_OLD_DRIVERS);
        EXPECT_EQ(Checked(dlg), marked) << "the marking replaces hand-made checks";

        ClickColumn(dlg, 0, kList);
        EXPECT_TRUE(SortedNoCase(Column(dlg, 0, kList), true)) << "first click on the sorted column: descending";
        ClickColumn(dlg, 1, kList);
        Texts published = Column(dlg, 6, kList);
        EXPECT_EQ(Texts(published.end() - 2, published.end()), (Texts{L"oem7.inf", L"oem3.inf"})) << "size ascending";
        ClickColumn(dlg, 1, kList);
        published = Column(dlg, 6, kList);
        EXPECT_EQ(Texts(published.begin(), published.begin() + 2), (Texts{L"oem3.inf", L"oem7.inf"})) << "then descending";
        ClickColumn(dlg, 6, kList);
        EXPECT_EQ(Column(dlg, 6, kList), (Texts{L"oem10.inf", L"oem12.inf", L"oem3.inf", L"oem5.inf", L"oem6.inf", L"oem7.inf",
                                         L"oem8.inf", L"oem9.inf"}));
        EXPECT_EQ(Checked(dlg), marked) << "sorting keeps the checks with their rows";

        // Refresh collects again and starts over with the first column ascending.
        Click(dlg, IDC_BTN_DRV_REFRESH);
        EXPECT_EQ(tools->Commands(), (Texts{kInventory, kInventory}));
        EXPECT_EQ(Rows(dlg, kList), 8);
        EXPECT_EQ(Checked(dlg), marked);
        ClickColumn(dlg, 0, kList);
        EXPECT_TRUE(SortedNoCase(Column(dlg, 0, kList), true));
        EXPECT_FALSE(SortedNoCase(Column(dlg, 0, kList), false));

        // Never narrower than it opened; the list follows the window's size.
        RECT window = {};
        ::GetWindowRect(dlg, &window);
        MINMAXINFO info = {};
        ::SendMessageW(dlg, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(info.ptMinTrackSize.x, window.right - window.left);
        EXPECT_GT(info.ptMinTrackSize.y, 0);
        EXPECT_LT(info.ptMinTrackSize.y, window.bottom - window.top);
        ::SetWindowPos(dlg, nullptr, 0, 0, window.right - window.left + 120, window.bottom - window.top + 90,
                       SWP_NOMOVE | SWP_NOZORDER);
        RECT client = {}, listRect = {};
        ::GetClientRect(dlg, &client);
        ::GetWindowRect(ListOf(dlg, kList), &listRect);
        ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&listRect), 2);
        EXPECT_EQ(listRect.right - listRect.left, client.right);
        EXPECT_EQ(listRect.bottom, client.bottom);

        ::SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    CDlgRepoDrv page(nullptr);
    EXPECT_EQ(page.DoModal(), IDCANCEL);
}

TEST_F(DriverStorePage, DeletesCheckedPackagesOneByOneAndKeepsFailures)
{
    Scenario(std::string(kTableHead) +
                 "oem1.inf | alpha.inf | No | Display | A | 01/01/2020 | 1.0\r\n"
                 "oem2.inf | alpha.inf | No | Display | A | 01/01/2020 | 2.0\r\n"
                 "oem4.inf | beta.inf | No | Net | B | 01/01/2020 | 1.0\r\n"
                 "oem6.inf | beta.inf | No | Net | B | 01/01/2020 | 2.0\r\n"
                 "oem9.inf & calc.exe | gamma.inf | No | Net | C | 01/01/2020 | 1.0\r\n" +
                 kTableTail,
             0,
             "match: pnputil -f -d oem1.inf\nstderr: Deleting the driver package failed: Access is denied.\\r\\n\nexit: 5\n\n"
             "match: pnputil -f -d oem4.inf\nstdout: Driver package deleted successfully.\\r\\n\nexit: 0\n");

    bool closedByExit = false;
    OnWindow(kPage, [this, &closedByExit](HWND dlg) {
        EndDialogOnExit end{dlg, IDOK};
        WaitForRows(dlg, 5);
        ASSERT_EQ(Checked(dlg), (NameSet{L"oem1.inf", L"oem4.inf"}));
        // A name of any other form never reaches a command line, whoever checks it.
        SetChecked(dlg, RowOf(dlg, L"oem9.inf & calc.exe"), true, kList);

        ExpectFailedWindow(L"oem1.inf", L"DONE - (result: 5 - 0)");
        bool told = false;
        ExpectRefusedNames(Texts{L"oem9.inf & calc.exe"}, &told);
        Click(dlg, IDC_BTN_DRV_DELETE);
        EXPECT_TRUE(told) << "the refused name is told once the deletions are done";
        EXPECT_EQ(tools->Commands(), (Texts{kInventory, L"pnputil -f -d oem1.inf", L"pnputil -f -d oem4.inf"}));
        EXPECT_TRUE(::IsWindowVisible(dlg)) << "after deleting, the page stays";
        EXPECT_EQ(Rows(dlg, kList), 4);
        EXPECT_EQ(RowOf(dlg, L"oem4.inf"), -1);
        EXPECT_EQ(Checked(dlg), (NameSet{L"oem1.inf", L"oem9.inf & calc.exe"})) << "what was not deleted stays checked";
        EXPECT_EQ(ItemText(dlg, IDC_ST_DRV_STATUS), L"Selected Drivers: 2/4 - 0 bytes / 0 bytes");

        Click(dlg, IDC_BTN_DRV_UNCHECK);
        ASSERT_EQ(ItemText(dlg, IDC_BTN_DRV_DELETE), L"Exit");
        Click(dlg, IDC_BTN_DRV_DELETE);
        closedByExit = !::IsWindowVisible(dlg);
    });
    EXPECT_TRUE(TaskOemDriversRepository());
    EXPECT_TRUE(closedByExit) << "with nothing checked the button closes the page";
    EXPECT_EQ(tools->Commands().size(), 3u);
}

// The user's Cancel ends the batch: no later row is deleted. A deletion still running stays
// checked; one whose tool ended with success just as the Cancel came is gone, and its row with it.
TEST_F(DriverStorePage, CancellingARunningDeletionStopsTheBatch)
{
    struct Case
    {
        const char* name;
        bool endsMeanwhile;   // the tool ends with 0 while the user's Cancel is on its way
        int rows;
        NameSet checked;
    };
    const Case cases[] = {
        {"still running", false, 4, NameSet{L"oem1.inf", L"oem4.inf"}},
        {"ended as the Cancel came", true, 3, NameSet{L"oem4.inf"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        tools->ClearCommands();
        Scenario(TwoDriversTable(), 0,
                 std::string("match: pnputil -f -d oem1.inf\n") +
                     (c.endsMeanwhile ? "sleep: 1500\nstdout: Deleted.\\r\\n\nexit: 0\n\n"
                                      : "stdout: Deleting...\\r\\n\nsleep: 30000\nexit: 0\n\n") +
                     "match: pnputil -f -d oem4.inf\nexit: 0\n");

        OnWindow(kPage, [this, &c](HWND dlg) {
            EndDialogOnExit end{dlg, IDOK};
            WaitForRows(dlg, 4);
            ASSERT_EQ(Checked(dlg), (NameSet{L"oem1.inf", L"oem4.inf"}));
            OnWindow(kExec, [this, &c](HWND wnd) {
                EndDialogOnExit endExec{wnd, IDCANCEL};
                if (!c.endsMeanwhile)
                {
                    ASSERT_TRUE(PumpUntil(
                        [wnd] { return ItemText(wnd, IDC_EDIT_OUTPUT).find(L"Deleting") != std::wstring::npos; }, 15000));
                    Click(wnd, IDCANCEL);
                    return;
                }
                // Holding the runner's lock keeps its worker from seeing the tool's end, so the
                // Cancel finds the command running and the tool's success arrives after it. The
                // window's poll, which takes that lock too, is stopped for the while.
                TSysCriticalSection& lock = reinterpret_cast<CDlgExecute*>(::GetWindowLongPtrW(wnd, DWLP_USER))->m_pRunner->m_cs;
                HANDLE locked = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
                HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
                std::thread holder([&lock, locked, release] {
                    lock.Lock();
                    ::SetEvent(locked);
                    ::WaitForSingleObject(release, 15000);
                    ::Sleep(300);
                    lock.Unlock();
                });
                ::WaitForSingleObject(locked, 15000);
                ::KillTimer(wnd, 1);
                const bool started = PumpUntil([this] { return tools->Commands().size() == 2; }, 15000);
                ::Sleep(3000);   // the tool ends 1.5 s after its start
                ::SetEvent(release);
                if (started)
                    Click(wnd, IDCANCEL);
                holder.join();
                ::CloseHandle(locked);
                ::CloseHandle(release);
                ASSERT_TRUE(started);
            });
            Click(dlg, IDC_BTN_DRV_DELETE);
            EXPECT_EQ(tools->Commands(), (Texts{kInventory, L"pnputil -f -d oem1.inf"})) << "no later row is deleted";
            EXPECT_EQ(Rows(dlg, kList), c.rows);
            EXPECT_EQ(Checked(dlg), c.checked);
            EXPECT_EQ(ItemText(dlg, IDC_ST_DRV_STATUS), L"Selected Drivers: " + std::to_wstring(c.checked.size()) + L"/" +
                                                            std::to_wstring(c.rows) + L" - 0 bytes / 0 bytes");
        });
        EXPECT_TRUE(TaskOemDriversRepository());
    }
}

TEST_F(DriverStorePage, ExceptionInTheDeletionLoopLeavesThePageUsableAndCounted)
{
    Scenario(TwoDriversTable(), 0, "match-glob: pnputil -f -d *\nstdout: Deleted.\\r\\n\nexit: 0\n");

    OnWindow(kPage, [this](HWND dlg) {
        EndDialogOnExit end{dlg, IDOK};
        WaitForRows(dlg, 4);
        ASSERT_EQ(Checked(dlg), (NameSet{L"oem1.inf", L"oem4.inf"}));
        // The first deletion runs; making the window of the second one runs out of memory.
        OnWindow(kExec, [](HWND) { FailNextAllocationOf(sizeof(CDlgExecute)); });
        bool told = false;
        ExpectErrorReport(&told);
        Click(dlg, IDC_BTN_DRV_DELETE);
        EXPECT_TRUE(told);
        EXPECT_EQ(g_failSize, 0u) << "no allocation failed";
        EXPECT_EQ(tools->Commands(), (Texts{kInventory, L"pnputil -f -d oem1.inf"}));
        EXPECT_EQ(Rows(dlg, kList), 3);
        EXPECT_EQ(Checked(dlg), NameSet{L"oem4.inf"});
        EXPECT_EQ(ItemText(dlg, IDC_ST_DRV_STATUS), L"Selected Drivers: 1/3 - 0 bytes / 0 bytes")
            << "the counts still name the deleted row";
        EXPECT_TRUE(::IsWindowEnabled(dlg));

        Click(dlg, IDC_BTN_DRV_REFRESH);
        EXPECT_EQ(Rows(dlg, kList), 4);
        EXPECT_EQ(tools->Commands().back(), kInventory);
        ::SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    CDlgRepoDrv page(nullptr);
    EXPECT_EQ(page.DoModal(), IDCANCEL);
    g_failSize = 0;
}

TEST_F(DriverStorePage, FailedOrEmptyInventoryClosesThePageWithItsResult)
{
    // The command fails: its window stays until the user closes it, then the page ends with the code.
    Scenario("\r\nError: 5\r\n\r\nAccess is denied.\r\n", 5);
    ExpectFailedWindow(L"get-drivers", L"DONE - (result: 5 - 0)");
    {
        CDlgRepoDrv page(nullptr);
        EXPECT_EQ(page.DoModal(), 5);
    }

    // The command cannot be started: the launch error.
    theApp.m_strDismPath = theApp.m_strSysDir + L"nodism.exe";
    ExpectFailedWindow(L"get-drivers", L"DONE - (result: 0 - 2)");
    {
        CDlgRepoDrv page(nullptr);
        EXPECT_EQ(page.DoModal(), ERROR_FILE_NOT_FOUND);
    }
    theApp.m_strDismPath = theApp.m_strSysDir + L"dism.exe";

    // Success, but only the first page of the output could be stored: the page ends as for a failure
    // and reads nothing, not even the "no table" of what it holds.
    Scenario(std::string(5000, ' ') + kTableHead + kTableTail, 0);
    ExpectFailedWindow(L"get-drivers", L"DONE - (result: 0 - 0)");
    {
        TCommitRefusal refusal(1);
        CDlgRepoDrv page(nullptr);
        EXPECT_EQ(page.DoModal(), ERROR_NOT_ENOUGH_MEMORY);
    }

    // Success, but the window's copy of the output refused to grow after its first update: the
    // display stopped with two of four rows taken, and a table cut there is no inventory.
    tools->WriteScenarioFile(L"head.txt", std::string(kTableHead) + kTwoDrivers[0] + kTwoDrivers[1]);
    tools->WriteScenarioFile(L"rest.txt", std::string(kTwoDrivers[2]) + kTwoDrivers[3] + kTableTail);
    tools->SetScenarioText("match: dism /online /get-drivers /format:table /english\nstdout-file: head.txt\nsleep: 2500\n"
                           "stdout-file: rest.txt\nexit: 0\n\nmatch-glob: *\nexit: 77\n");
    OnWindow(kPage, [](HWND dlg) {
        EndDialogOnExit end{dlg, IDOK};
        OnWindow(kExec, [](HWND wnd) {
            EndDialogOnExit endExec{wnd, IDCANCEL};
            CDlgExecute* exec = reinterpret_cast<CDlgExecute*>(::GetWindowLongPtrW(wnd, DWLP_USER));
            ASSERT_TRUE(PumpUntil([wnd] { return ItemText(wnd, IDC_EDIT_OUTPUT).find(L"oem2.inf") != std::wstring::npos; },
                                  15000));
            // A block marked as not ours refuses to grow, as one would when memory runs out.
            exec->m_rawOutput.m_bNotOwned = TVoid::NOT_OWNED;
            const bool stopped = PumpUntil([exec] { return exec->m_bDisplayStopped; }, 15000);
            exec->m_rawOutput.m_bNotOwned = 0;
            ASSERT_TRUE(stopped);
            ASSERT_TRUE(WaitForResultLine(wnd));
            EXPECT_EQ(ItemText(wnd, IDCANCEL), L"DONE - (result: 0 - 0)");
            Click(wnd, IDCANCEL);
        });
        EXPECT_TRUE(PumpUntil([dlg] { return !::IsWindowVisible(dlg); }, 30000)) << "the page stayed with a cut table";
        EXPECT_EQ(Rows(dlg, kList), 0);
    });
    {
        CDlgRepoDrv page(nullptr);
        EXPECT_EQ(page.DoModal(), ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(page.m_pItems, nullptr) << "no record was read from the cut table";
    }

    // Success without a table.
    Scenario("\r\nDeployment Image Servicing and Management tool\r\n\r\nThe operation completed successfully.\r\n", 0);
    {
        CDlgRepoDrv page(nullptr);
        EXPECT_EQ(page.DoModal(), 0);
    }

    // A table without rows: the page stays, and its button closes it.
    Scenario(std::string(kTableHead) + kTableTail, 0);
    OnWindow(kPage, [](HWND dlg) {
        EndDialogOnExit end{dlg, IDOK};
        ASSERT_TRUE(PumpUntil([dlg] { return ItemText(dlg, IDC_ST_DRV_STATUS) != L"<items>"; }, 15000));
        EXPECT_EQ(ItemText(dlg, IDC_ST_DRV_STATUS), L"Selected Drivers: 0/0 - 0 bytes / 0 bytes");
        EXPECT_FALSE(Enabled(dlg, IDC_BTN_DRV_UNCHECK));
        EXPECT_EQ(ItemText(dlg, IDC_BTN_DRV_DELETE), L"Exit");
        Click(dlg, IDC_BTN_DRV_DELETE);
    });
    {
        CDlgRepoDrv page(nullptr);
        EXPECT_EQ(page.DoModal(), 0);
    }
    EXPECT_EQ(tools->Commands(), (Texts{kInventory, kInventory, kInventory, kInventory, kInventory}));
}

TEST_F(DriverStorePage, FirstMarkedRowIsScrolledIntoViewAndAdjacentDeletionsAllRun)
{
    // Forty drivers of one version each, then an old copy sorted last: off the first page.
    std::string rows;
    for (int i = 1; i <= 40; ++i)
    {
        char line[128];
        std::snprintf(line, sizeof(line), "oem%d.inf | drv%02d.inf | No | Net | Maker | 01/01/2020 | 1.0\r\n", i, i);
        rows += line;
    }
    rows += "oem50.inf | zz.inf | No | Net | Maker | 01/01/2020 | 1.0\r\n"
            "oem51.inf | zz.inf | No | Net | Maker | 01/01/2020 | 2.0\r\n";
    Scenario(std::string(kTableHead) + rows + kTableTail, 0,
             "match-glob: pnputil -f -d *\nstdout: Driver package deleted successfully.\\r\\n\nexit: 0\n");

    OnWindow(kPage, [this](HWND dlg) {
        EndDialogOnExit end{dlg, IDOK};
        WaitForRows(dlg, 42);
        HWND list = ListOf(dlg, kList);
        const int marked = RowOf(dlg, L"oem50.inf");
        ASSERT_EQ(Checked(dlg), NameSet{L"oem50.inf"});
        const int top = static_cast<int>(::SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
        const int perPage = static_cast<int>(::SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
        ASSERT_GT(marked, perPage) << "the marked row starts off the first page";
        EXPECT_LE(top, marked) << "the first marked row is in view";
        EXPECT_LT(marked, top + perPage) << "the first marked row is in view, entirely";

        // Two neighbours, both deleted: the row that moves up is not passed over.
        Click(dlg, IDC_BTN_DRV_UNCHECK);
        SetChecked(dlg, 3, true, kList);
        SetChecked(dlg, 4, true, kList);
        const Texts names = Column(dlg, 6, kList);
        Click(dlg, IDC_BTN_DRV_DELETE);
        EXPECT_EQ(tools->Commands(), (Texts{kInventory, L"pnputil -f -d " + names[3], L"pnputil -f -d " + names[4]}));
        EXPECT_EQ(Rows(dlg, kList), 40);
        EXPECT_TRUE(Checked(dlg).empty());
    });
    EXPECT_TRUE(TaskOemDriversRepository());
}

} // namespace
