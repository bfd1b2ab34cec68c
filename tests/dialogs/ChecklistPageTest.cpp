// The checklist page as a user meets it: a test page with test rows, driven through its controls.
#include "TestPage.h"
#include "app/App.h"
#include "dialogs/DlgExecute.h"
#include "tests/helpers/CommitRefusal.h"
#include "tests/standin/StandinFixture.h"
#include "tests/support/PageDriver.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <stdexcept>

using namespace testsupport;
using namespace testpage;

namespace {

Texts Sorted(Texts texts)
{
    std::sort(texts.begin(), texts.end());
    return texts;
}

void Type(HWND dlg, int id, const std::wstring& keys)
{
    for (wchar_t c : keys)
        ::SendMessageW(::GetDlgItem(dlg, id), WM_CHAR, c, 0);
}

BOOL CALLBACK FindProgress(HWND hWnd, LPARAM found)
{
    if (::IsWindowVisible(hWnd) && ::GetDlgItem(hWnd, IDC_PB_TASK) != nullptr)
    {
        *reinterpret_cast<HWND*>(found) = hWnd;
        return FALSE;
    }
    return TRUE;
}

HWND ProgressWindow()
{
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindProgress, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Counts progress bars created on this thread: one per progress window.
struct ProgressWatch
{
    static int s_count;
    HHOOK hook;
    ProgressWatch() : hook(::SetWindowsHookExW(WH_CBT, Watch, nullptr, ::GetCurrentThreadId())) { s_count = 0; }
    ~ProgressWatch() { ::UnhookWindowsHookEx(hook); }
    static LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam)
    {
        wchar_t cls[64] = {};
        if (code == HCBT_CREATEWND && ::GetClassNameW(reinterpret_cast<HWND>(wParam), cls, 64) &&
            std::wstring(cls) == PROGRESS_CLASSW)
            ++s_count;
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
};
int ProgressWatch::s_count = 0;

class ChecklistPage : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { InitListControls(); }
    void TearDown() override { ClearActions(); }

    static INT_PTR Run(CDlgList& page, std::function<void(HWND)> action)
    {
        OnListPage(kTitle, std::move(action));
        return page.DoModal();
    }

    static std::vector<RowPlan> Installed(const Texts& labels)
    {
        std::vector<RowPlan> plans;
        for (size_t i = 0; i < labels.size(); ++i)
            plans.push_back(RowPlan{labels[i], static_cast<int>(i) + 1, 1});
        return plans;
    }
};

TEST_F(ChecklistPage, PageThatOverridesNothingShowsAnEmptyListAndCommitsNothing)
{
    CDlgList page(nullptr);
    page.m_strTitle = kTitle;
    page.m_pColumns = kColumns;
    page.m_nColumns = 3;
    page.m_pModes = kModes;
    page.m_nModes = 3;
    ProgressWatch watch;
    Run(page, [](HWND dlg) {
        EXPECT_EQ(TextOf(dlg), kTitle);
        EXPECT_EQ(Rows(dlg), 0);
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/0");
        EXPECT_EQ(ItemText(dlg, IDC_BTN_CHECK), L"Uncheck") << "an empty list answers no unchecked row 0";

        // Modes sorted by text, each carrying its own value.
        HWND combo = ::GetDlgItem(dlg, IDC_CB_MODE);
        const wchar_t* texts[] = {L"Installed only", L"Missing only", L"Zeta all"};
        const int modes[] = {MODE_INSTALLED, MODE_MISSING, MODE_ALL};
        ASSERT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(::SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
        for (int i = 0; i < 3; ++i)
        {
            wchar_t text[64] = {};
            ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            EXPECT_EQ(std::wstring(text), texts[i]);
            EXPECT_EQ(::SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0), modes[i]);
        }
        // Columns from the table, the second one right-aligned; the list view's extra styles.
        HWND list = ::GetDlgItem(dlg, IDC_LIST_ITEMS);
        for (int i = 0; i < 3; ++i)
        {
            wchar_t title[32] = {};
            LVCOLUMNW col = {};
            col.mask = LVCF_TEXT | LVCF_FMT;
            col.pszText = title;
            col.cchTextMax = 32;
            ASSERT_TRUE(::SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col)));
            EXPECT_EQ(std::wstring(title), kColumns[i].pszTitle);
            EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, i == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT);
        }
        const DWORD ex = static_cast<DWORD>(::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        const DWORD wanted = LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_DOUBLEBUFFER | LVS_EX_AUTOCHECKSELECT;
        EXPECT_EQ(ex & wanted, wanted);
        const LONG style = ::GetWindowLongW(list, GWL_STYLE);
        EXPECT_EQ(style & (LVS_TYPEMASK | LVS_SORTASCENDING), LVS_REPORT | LVS_SORTASCENDING);
        EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(dlg, IDC_EDIT_FILTER), GWL_STYLE) & ES_LOWERCASE);

        Click(dlg, IDC_BTN_COMMIT);
        Click(dlg, IDC_BTN_CHECK);
        Click(dlg, IDC_BTN_REFRESH);
        EXPECT_TRUE(::IsWindowVisible(dlg));
        EXPECT_TRUE(::IsWindowEnabled(dlg));
        EXPECT_EQ(Rows(dlg), 0);
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/0");
    });
    EXPECT_EQ(ProgressWatch::s_count, 0) << "nothing collected: no detail pass";
    EXPECT_EQ(page.m_pItems, nullptr);
}

TEST_F(ChecklistPage, RowsShowSortedByLabelWhileTheDetailPassRunsInReverseCreationOrder)
{
    TestPage page({{L"delta", 4, 1}, {L"alpha", 1, 1}, {L"charlie", 3, 0}, {L"bravo", 2, 1}});
    struct Seen { std::wstring caption, text; int pos, upper; bool pageEnabled; RECT task, owner; };
    std::vector<Seen> seen;
    page.onDetails = [&](TestRow&) {
        HWND task = ProgressWindow();
        ASSERT_NE(task, nullptr) << "the detail pass shows its progress window";
        Seen s;
        s.caption = TextOf(task);
        s.text = ItemText(task, IDC_ST_TASK_TEXT);
        s.pos = static_cast<int>(::SendDlgItemMessageW(task, IDC_PB_TASK, PBM_GETPOS, 0, 0));
        s.upper = static_cast<int>(::SendDlgItemMessageW(task, IDC_PB_TASK, PBM_GETRANGE, FALSE, 0));
        s.pageEnabled = ::IsWindowEnabled(page.m_hWnd) != FALSE;
        ::GetWindowRect(task, &s.task);
        ::GetWindowRect(page.m_hWnd, &s.owner);
        seen.push_back(s);
    };
    Run(page, [&](HWND dlg) {
        EXPECT_TRUE(::IsWindowEnabled(dlg));
        EXPECT_EQ(ProgressWindow(), nullptr) << "the progress window is gone";
        // The first entry by text is "Installed only"; its value, not the table's first, decides.
        EXPECT_EQ(ItemText(dlg, IDC_CB_MODE), L"Installed only");
        EXPECT_EQ(Column(dlg, 0), (Texts{L"alpha", L"bravo", L"delta"}));
        EXPECT_EQ(Column(dlg, 1), (Texts{L"1", L"2", L"4"}));
        EXPECT_EQ(Column(dlg, 2), (Texts{L"installed", L"installed", L"installed"}));
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/3");
        EXPECT_EQ(ItemText(dlg, IDC_BTN_CHECK), L"Check");

        // "Zeta all" carries 0: choosing it must refill even though the first fill was not mode 0.
        SelectMode(dlg, L"Zeta all");
        EXPECT_EQ(Column(dlg, 0), (Texts{L"alpha", L"bravo", L"charlie", L"delta"}));
        SetChecked(dlg, 2, true);
        const int asked = page.journal.shownCalls;
        SelectMode(dlg, L"Zeta all");
        EXPECT_EQ(page.journal.shownCalls, asked) << "choosing the shown mode again refilled the list";
        EXPECT_EQ(Checks(dlg), (std::vector<bool>{false, false, true, false}));
        SelectMode(dlg, L"Missing only");
        EXPECT_EQ(Column(dlg, 0), (Texts{L"charlie"}));

        // Refresh deletes every row and collects again, detail pass included.
        page.onDetails = nullptr;
        Click(dlg, IDC_BTN_REFRESH);
        EXPECT_EQ(page.journal.collects, 2);
        EXPECT_EQ(page.journal.destroyed, 4);
        EXPECT_EQ(Column(dlg, 0), (Texts{L"charlie"}));
        SaveWindowBitmap(dlg, L"checklist-page.bmp");
    });
    EXPECT_EQ(page.journal.details, (Texts{L"bravo", L"charlie", L"alpha", L"delta", L"bravo", L"charlie", L"alpha", L"delta"}));
    ASSERT_EQ(seen.size(), 4u);
    for (size_t i = 0; i < seen.size(); ++i)
    {
        EXPECT_EQ(seen[i].caption, kTitle);
        EXPECT_EQ(seen[i].text, L"Collecting 4 rows data...");
        EXPECT_EQ(seen[i].pos, static_cast<int>(i)) << "one step per row loaded";
        EXPECT_EQ(seen[i].upper, 4);
        EXPECT_FALSE(seen[i].pageEnabled) << "the page is disabled during the detail pass";
    }
    const RECT& t = seen[0].task;
    const RECT& o = seen[0].owner;
    EXPECT_NEAR((t.left - o.left) - (o.right - t.right), 0, 1) << "centred across";
    EXPECT_NEAR((t.top - o.top) - (o.bottom - t.bottom), 0, 1) << "centred down";
    EXPECT_EQ(page.journal.destroyed, 4);
}

TEST_F(ChecklistPage, FillShowsTheOrderOfRowsInsertedOneByOneInListOrder)
{
    for (const Texts& labels : FillOrderCases())
    {
        TestPage page(Installed(labels), false);
        Run(page, [&](HWND dlg) {
            // What the list view makes of the shown rows handed over one by one, head of the list first.
            std::vector<std::pair<std::wstring, LPARAM>> rows;
            for (CDlgListItem* item = page.m_pItems; item != nullptr; item = item->m_pNext)
                rows.emplace_back(static_cast<TestRow*>(item)->m_plan.label, reinterpret_cast<LPARAM>(item));
            EXPECT_EQ(ItemDataOrder(::GetDlgItem(dlg, IDC_LIST_ITEMS)), OneByOneFillOrder(rows))
                << "first label of the case: " << testing::PrintToString(labels[0]);
        });
    }
}

TEST_F(ChecklistPage, WithoutDetailPassNoProgressWindowShows)
{
    TestPage page(Installed({L"one", L"two"}), false);
    ProgressWatch watch;
    Run(page, [](HWND dlg) { EXPECT_EQ(Column(dlg, 0), (Texts{L"one", L"two"})); });
    EXPECT_EQ(ProgressWatch::s_count, 0);
    EXPECT_TRUE(page.journal.details.empty());
}

TEST_F(ChecklistPage, CancelInTheProgressWindowStopsBeforeTheNextRow)
{
    TestPage page(Installed({L"a1", L"a2", L"a3", L"a4"}));
    page.onDetails = [&page](TestRow&) {
        if (page.journal.details.size() == 2)
            Click(ProgressWindow(), IDCANCEL);   // the row being loaded completes
    };
    Run(page, [](HWND dlg) {
        EXPECT_EQ(Rows(dlg), 4) << "rows without details are shown all the same";
        EXPECT_TRUE(::IsWindowEnabled(dlg));
        EXPECT_EQ(ProgressWindow(), nullptr);
    });
    EXPECT_EQ(page.journal.details, (Texts{L"a4", L"a3"}));
}

TEST_F(ChecklistPage, ColumnClicksSortAndEveryRefillResetsTheSort)
{
    TestPage page({{L"alpha", 30, 1}, {L"bravo", 10, 0}, {L"charlie", 20, 1}, {L"delta", 40, 0}}, false);
    Run(page, [](HWND dlg) {
        SelectMode(dlg, L"Zeta all");
        ASSERT_EQ(Column(dlg, 0), (Texts{L"alpha", L"bravo", L"charlie", L"delta"}));
        ClickColumn(dlg, 1);
        EXPECT_EQ(Column(dlg, 1), (Texts{L"10", L"20", L"30", L"40"}));
        ClickColumn(dlg, 1);
        EXPECT_EQ(Column(dlg, 1), (Texts{L"40", L"30", L"20", L"10"}));
        ClickColumn(dlg, 2);
        EXPECT_EQ(Column(dlg, 0), (Texts{L"alpha", L"charlie", L"bravo", L"delta"})) << "installed first, ascending";

        // A refill puts the list back in the list view's own order and the sort on column 0.
        SelectMode(dlg, L"Installed only");
        SelectMode(dlg, L"Zeta all");
        EXPECT_EQ(Column(dlg, 0), (Texts{L"alpha", L"bravo", L"charlie", L"delta"}));
        ClickColumn(dlg, 0);
        EXPECT_EQ(Column(dlg, 0), (Texts{L"delta", L"charlie", L"bravo", L"alpha"}))
            << "after a fill the first click on column 0 sorts descending";
    });
}

TEST_F(ChecklistPage, FilterRefillsOneSecondAfterTheLastKeystrokeInAnyLetterCase)
{
    TestPage page(Installed({L"Network Adapter", L"INTERNET", L"cabinet", L"nothing", L"n-e-t"}), false);
    Run(page, [](HWND dlg) {
        ASSERT_EQ(Rows(dlg), 5);
        Type(dlg, IDC_EDIT_FILTER, L"N");
        PumpUntil([] { return false; }, 400);
        Type(dlg, IDC_EDIT_FILTER, L"E");
        PumpUntil([] { return false; }, 400);
        Type(dlg, IDC_EDIT_FILTER, L"T");
        const DWORD last = ::GetTickCount();
        EXPECT_EQ(ItemText(dlg, IDC_EDIT_FILTER), L"net") << "the filter box holds lower case only";
        EXPECT_EQ(Rows(dlg), 5) << "no refill while typing";
        ASSERT_TRUE(PumpUntil([dlg] { return Rows(dlg) != 5; }, 8000)) << "no refill after the pause";
        EXPECT_GE(::GetTickCount() - last, 950u) << "each keystroke restarts the one-second wait";
        EXPECT_EQ(Sorted(Column(dlg, 0)), (Texts{L"INTERNET", L"Network Adapter", L"cabinet"}));
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/3");

        ::SetDlgItemTextW(dlg, IDC_EDIT_FILTER, L"network adapter and more");
        ASSERT_TRUE(PumpUntil([dlg] { return Rows(dlg) == 0; }, 8000)) << "a filter longer than every label";
        EXPECT_EQ(ItemText(dlg, IDC_BTN_CHECK), L"Uncheck");
        ::SetDlgItemTextW(dlg, IDC_EDIT_FILTER, L"");
        ASSERT_TRUE(PumpUntil([dlg] { return Rows(dlg) == 5; }, 8000)) << "clearing shows every row again";
    });
}

TEST_F(ChecklistPage, CheckButtonGivesEveryRowTheOppositeOfRowZero)
{
    TestPage page(Installed({L"r1", L"r2", L"r3"}), false);
    Run(page, [](HWND dlg) {
        EXPECT_EQ(ItemText(dlg, IDC_BTN_CHECK), L"Check");
        Click(dlg, IDC_BTN_CHECK);
        EXPECT_EQ(Checks(dlg), (std::vector<bool>{true, true, true}));
        EXPECT_EQ(ItemText(dlg, IDC_BTN_CHECK), L"Uncheck");
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 3/3");

        // A change made in the list view itself updates caption and status.
        SetChecked(dlg, 0, false);
        EXPECT_EQ(ItemText(dlg, IDC_BTN_CHECK), L"Check");
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 2/3");
        Click(dlg, IDC_BTN_CHECK);
        EXPECT_EQ(Checks(dlg), (std::vector<bool>{true, true, true})) << "rows checked before stay checked";
        Click(dlg, IDC_BTN_CHECK);
        EXPECT_EQ(Checks(dlg), (std::vector<bool>{false, false, false}));
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/3");
    });
}

TEST_F(ChecklistPage, CommitStopsAtAFailedRowAndDropsRowsThatLeftTheMode)
{
    TestPage page(Installed({L"alpha", L"bravo", L"charlie", L"delta"}), false);
    page.failOn = L"bravo";
    Run(page, [&page](HWND dlg) {
        SetChecked(dlg, 0, true);
        SetChecked(dlg, 1, true);
        SetChecked(dlg, 2, true);
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(page.journal.committed, (Texts{L"alpha", L"bravo"})) << "charlie comes after the failure";
        EXPECT_EQ(page.journal.details, (Texts{L"alpha"})) << "details reload only after a successful commit";
        EXPECT_EQ(Column(dlg, 0), (Texts{L"bravo", L"charlie", L"delta"})) << "alpha left the mode";
    });
    EXPECT_EQ(page.journal.prepares, 1);
    EXPECT_EQ(page.journal.prepareMode, MODE_INSTALLED);
    EXPECT_EQ(page.journal.prepareParamIn, 0);
    EXPECT_EQ(page.journal.commitParam, 7) << "the parameter PrepareCommit filled";
}

TEST_F(ChecklistPage, CommittedRowThatStaysInTheModeIsRewrittenInPlace)
{
    TestPage page(Installed({L"alpha", L"bravo", L"charlie"}), false);
    Run(page, [&page](HWND dlg) {
        SelectMode(dlg, L"Zeta all");
        SetChecked(dlg, 1, true);
        const int asked = page.journal.shownCalls;
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(page.journal.committed, (Texts{L"bravo"}));
        EXPECT_EQ(Column(dlg, 1), (Texts{L"1", L"1002", L"3"}));
        EXPECT_EQ(Checks(dlg), (std::vector<bool>{false, true, false})) << "no refill for a row still shown";
        EXPECT_EQ(page.journal.shownCalls - asked, 2);

        page.prepareResult = false;
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(page.journal.committed.size(), 1u) << "a refused PrepareCommit commits nothing";
    });
}

TEST_F(ChecklistPage, CommitLoopKeepsItsRowsWhileMessagesArePumped)
{
    TestPage page(Installed({L"alpha", L"bravo", L"charlie", L"delta"}), false);
    Run(page, [&page](HWND dlg) {
        HWND combo = ::GetDlgItem(dlg, IDC_CB_MODE);
        page.onCommit = [&page, dlg, combo](TestRow& row) {
            if (row.m_plan.label != L"alpha")
                return;
            EXPECT_FALSE(::IsWindowEnabled(dlg)) << "the page is disabled for the loop";
            const Texts before = Column(dlg, 0);
            // Everything a user or a stray message could ask for, handled while a row waits and pumps.
            for (int id : {IDC_BTN_REFRESH, IDC_BTN_COMMIT, IDC_BTN_CHECK})
                ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dlg, id)));
            ::SendMessageW(combo, CB_SETCURSEL, 2, 0);   // "Zeta all"
            ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_CB_MODE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
            ::SetDlgItemTextW(dlg, IDC_EDIT_FILTER, L"l");
            ::PostMessageW(dlg, WM_TIMER, 1, 0);
            ClickColumn(dlg, 0);
            PumpUntil([] { return false; }, 300);
            EXPECT_EQ(page.journal.collects, 1);
            EXPECT_EQ(page.journal.destroyed, 0);
            EXPECT_EQ(page.journal.prepares, 1) << "a second commit started inside the first";
            EXPECT_EQ(Column(dlg, 0), before) << "the rows in use were re-listed or re-sorted";
            EXPECT_EQ(Checks(dlg), (std::vector<bool>{true, false, true, false}));
        };
        SetChecked(dlg, 0, true);
        SetChecked(dlg, 2, true);
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(page.journal.committed, (Texts{L"alpha", L"charlie"}));
        EXPECT_TRUE(::IsWindowEnabled(dlg));
        // The mode and filter that arrived meanwhile take effect once the loop is over.
        EXPECT_EQ(Column(dlg, 0), (Texts{L"alpha", L"charlie", L"delta"}));
        EXPECT_EQ(Column(dlg, 2), (Texts{L"missing", L"missing", L"installed"}));
    });
}

TEST_F(ChecklistPage, ExceptionInTheDetailPassOrTheCommitLoopLeavesThePageUsable)
{
    struct Case
    {
        const char* name;
        bool inDetails;   // thrown by a row's details during a Refresh; else by a row's commit
    };
    for (const Case& c : {Case{"detail pass", true}, Case{"commit loop", false}})
    {
        SCOPED_TRACE(c.name);
        TestPage page(Installed({L"alpha", L"bravo", L"charlie"}));
        bool armed = false;
        auto raise = [&armed](TestRow& row) {
            if (armed && row.m_plan.label == L"bravo")
            {
                armed = false;
                throw std::runtime_error("row broke");
            }
        };
        (c.inDetails ? page.onDetails : page.onCommit) = raise;
        const INT_PTR result = Run(page, [&](HWND dlg) {
            bool told = false;
            ExpectErrorReport(&told);
            armed = true;
            if (c.inDetails)
                Click(dlg, IDC_BTN_REFRESH);
            else
            {
                Click(dlg, IDC_BTN_CHECK);
                Click(dlg, IDC_BTN_COMMIT);
            }
            EXPECT_TRUE(told);
            EXPECT_FALSE(armed) << "the row did not throw";
            EXPECT_TRUE(::IsWindowEnabled(dlg)) << "a disabled page takes no input and cannot be closed";
            EXPECT_FALSE(page.IsBusy()) << "a busy page ignores Refresh, Commit, Check and sorting";
            EXPECT_EQ(ProgressWindow(), nullptr);

            // A later Refresh collects and lists every row again; then the page closes as usual.
            const int collects = page.journal.collects;
            Click(dlg, IDC_BTN_REFRESH);
            EXPECT_EQ(page.journal.collects, collects + 1);
            EXPECT_EQ(Column(dlg, 0), (Texts{L"alpha", L"bravo", L"charlie"}));
            ::SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(result, IDCANCEL);
    }
}

TEST_F(ChecklistPage, ResizeKeepsTheListBelowTheButtonsAndTheMinimumSize)
{
    TestPage page(Installed({L"one"}), false);
    Run(page, [](HWND dlg) {
        RECT first, client, commit, list;
        ::GetWindowRect(dlg, &first);
        ::GetClientRect(dlg, &client);
        const int width = first.right - first.left, height = first.bottom - first.top;
        const int frame = height - client.bottom;
        ::GetWindowRect(::GetDlgItem(dlg, IDC_BTN_COMMIT), &commit);
        ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&commit), 2);
        auto listRect = [dlg, &list] {
            ::GetWindowRect(::GetDlgItem(dlg, IDC_LIST_ITEMS), &list);
            ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&list), 2);
        };
        listRect();
        const int top = list.top;
        EXPECT_GE(top, commit.bottom);

        ::MoveWindow(dlg, first.left, first.top, width + 200, height + 150, TRUE);
        ::GetClientRect(dlg, &client);
        listRect();
        EXPECT_EQ(list.left, 0);
        EXPECT_EQ(list.top, top);
        EXPECT_EQ(list.right, client.right);
        EXPECT_EQ(list.bottom, client.bottom);

        MINMAXINFO info = {};
        info.ptMinTrackSize = {10, 10};
        ::SendMessageW(dlg, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(info.ptMinTrackSize.x, width);
        EXPECT_EQ(info.ptMinTrackSize.y, top + (height - frame - top) / 3 + frame);

        ::MoveWindow(dlg, first.left, first.top, width - 150, height, TRUE);
        RECT now;
        ::GetWindowRect(dlg, &now);
        EXPECT_GE(now.right - now.left, width) << "narrower than the first width";
        ::GetClientRect(dlg, &client);
        listRect();
        EXPECT_EQ(list.top, top);
        EXPECT_EQ(list.bottom, client.bottom);
    });

    // The shared rule leaves larger minimums alone and does nothing before the first size is known.
    MINMAXINFO info = {};
    info.ptMinTrackSize = {500, 50};
    CDlgList::OnGetMinMaxInfo(&info, 400, 300);
    EXPECT_EQ(info.ptMinTrackSize.x, 500);
    EXPECT_EQ(info.ptMinTrackSize.y, 300);
    CDlgList::OnGetMinMaxInfo(&info, 0, 900);
    EXPECT_EQ(info.ptMinTrackSize.y, 300);
}

// Collections through the command window, with the stand-in tool printing the inventory.
class ChecklistCommand : public ChecklistPage
{
protected:
    void SetUp() override
    {
        tools.reset(new StandinFixture());
        tool = tools->InstallTool(L"dism.exe");
    }
    void TearDown() override
    {
        ChecklistPage::TearDown();
        tools.reset();
    }
    std::unique_ptr<StandinFixture> tools;
    std::wstring tool;
};

TEST_F(ChecklistCommand, CollectsFromACommandWindowOwnedByThePage)
{
    tools->AddEntry(StandinEntry::Exact(L"dism /list").Stdout("bravo\r\nalpha\r\nx\x80\r\n").Exit(0));
    TestPage page({}, false);
    TLineReader reader;
    bool ran = false;
    page.collect = [&](TestPage& p) {
        ran = p.RunWithDialog(&reader, tool, L"dism /list", EXEC_HIDE_CONSOLE);
        std::wstring line;
        while (reader.NextLine())
        {
            reader.GetValue(line, 0, 0);
            if (!line.empty() && line != L" ")
            {
                new TestRow(p, RowPlan{line, 0, 1});
                ++p.m_nItemCount;
            }
        }
        return ran;
    };
    HWND owner = nullptr;
    OnWindow(L"Executing Command...", [&owner](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        owner = ::GetWindow(wnd, GW_OWNER);
        ASSERT_TRUE(PumpUntil([wnd] { return ItemText(wnd, IDCANCEL) == L"DONE - (result: 0 - 0)"; }, 15000));
        Click(wnd, IDCANCEL);   // closed by the user after a success: still a success
    }, 20000);
    Run(page, [&](HWND dlg) {
        EXPECT_EQ(owner, dlg) << "the page is the command window's parent";
        // Bytes are widened one to one in the windowed run.
        EXPECT_EQ(Column(dlg, 0), (Texts{L"alpha", L"bravo", L"x\u0080"}));
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(tools->Commands(), (Texts{L"dism /list"}));
}

TEST_F(ChecklistCommand, FailedCommandLeavesTheReaderAndShowsAnEmptyPage)
{
    tools->AddEntry(StandinEntry::Exact(L"dism /fail").Stdout("bad\r\n").Exit(5));
    tools->AddEntry(StandinEntry::Exact(L"dism /empty").Exit(0));
    TestPage page({});
    TLineReader failed(L"untouched"), empty(L"old text");
    bool failResult = true, emptyResult = false, noPathResult = true;
    page.collect = [&](TestPage& p) {
        failResult = p.RunWithDialog(&failed, tool, L"dism /fail", EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE);
        emptyResult = p.RunWithDialog(&empty, tool, L"dism /empty", EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE);
        noPathResult = p.RunWithDialog(nullptr, L"", L"dism /empty", EXEC_CLOSE_ON_SUCCESS);
        return failResult;
    };
    OnWindow(L"Executing Command...", [](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        ASSERT_TRUE(PumpUntil([wnd] { return ItemText(wnd, IDCANCEL) == L"DONE - (result: 5 - 0)"; }, 15000));
        Click(wnd, IDCANCEL);
    }, 20000);
    ProgressWatch watch;
    Run(page, [](HWND dlg) {
        EXPECT_EQ(Rows(dlg), 0);
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/0");
    });
    EXPECT_FALSE(failResult);
    EXPECT_EQ(failed.Text(), L"untouched");
    EXPECT_TRUE(emptyResult) << "an empty output is a success in a command window";
    EXPECT_EQ(empty.Text(), L"");
    EXPECT_EQ(empty.Line(), -1);
    EXPECT_FALSE(noPathResult) << "an empty program path is a failure, not an exception";
    EXPECT_EQ(ProgressWatch::s_count, 0) << "a failed collection has no detail pass";
    EXPECT_EQ(tools->Commands(), (Texts{L"dism /fail", L"dism /empty"}));
}

TEST_F(ChecklistCommand, CommandWhoseOutputCouldNotBeStoredWholeFailsAndLeavesTheReader)
{
    // The tool succeeds, but only the first page of what it prints can be stored.
    tools->AddEntry(StandinEntry::Exact(L"dism /big").Stdout(std::string(5000, 'b') + "\r\n").Exit(0));
    TestPage page({});
    TLineReader partial(L"whole");
    bool result = true;
    page.collect = [&](TestPage& p) {
        TCommitRefusal refusal(1);
        result = p.RunWithDialog(&partial, tool, L"dism /big", EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE);
        return result;
    };
    OnWindow(L"Executing Command...", [](HWND wnd) {
        EndDialogOnExit end{wnd, 77};
        ASSERT_TRUE(PumpUntil([wnd] { return ItemText(wnd, IDCANCEL) == L"DONE - (result: 0 - 0)"; }, 15000));
        Click(wnd, IDCANCEL);
    }, 20000);
    Run(page, [](HWND dlg) { EXPECT_EQ(Rows(dlg), 0); });
    EXPECT_FALSE(result) << "an inventory with a hole is no success";
    EXPECT_EQ(partial.Text(), L"whole");
}

} // namespace
