// The checklist page: collection with its detail pass, fill with mode and filter, column sort,
// Check/Uncheck, the commit loop, and the two ways of running an inventory command.
#include "dialogs/DlgList.h"
#include "dialogs/DlgExecute.h"
#include "dialogs/DlgTask.h"
#include "dialogs/SortedInsert.h"
#include "framework/ScopeExit.h"
#include "resources/resource.h"
#include "runner/ExecPiped.h"
#include "runner/Launch.h"
#include "runner/Void.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

namespace {

const UINT_PTR kFilterTimer = 1;
const UINT kFilterDelayMs = 1000;
const DWORD kSilentWaitMs = 5000;
const DWORD kSilentStopMs = 500;

// State image of a list-view row: 0 unchecked, 1 checked; -1 when the row answers no state
// (which is what row 0 of an empty list does).
int CheckStateOf(const CListCtrl& list, int row)
{
    return static_cast<int>(list.GetItemState(row, LVIS_STATEIMAGEMASK) >> 12) - 1;
}

wchar_t LowerOf(wchar_t c)
{
    // A value below 0x10000 in place of the pointer makes CharLowerW convert that one character.
    return static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(::CharLowerW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(c)))));
}

// Whether the filter occurs in the label; a label character matches a filter character when it is
// the same unit or its lower-case form is. The filter box only ever holds lower case.
bool FilterOccurs(const std::wstring& label, const std::wstring& filter, std::wstring& lowered)
{
    if (filter.size() > label.size())
        return false;
    lowered.resize(label.size());
    for (size_t i = 0; i < label.size(); ++i)
        lowered[i] = LowerOf(label[i]);
    const size_t last = label.size() - filter.size();
    for (size_t start = 0; start <= last; ++start)
    {
        size_t i = 0;
        while (i < filter.size() && (label[start + i] == filter[i] || lowered[start + i] == filter[i]))
            ++i;
        if (i == filter.size())
            return true;
    }
    return false;
}

} // namespace

// Holds the page busy, and when asked disabled, until it goes out of scope. Every way out gives
// the page back, an exception included: a page left disabled takes no input and cannot even be
// closed, and one left busy ignores Refresh, Commit, Check and the column sort for good.
class CDlgList::TBusyScope
{
public:
    explicit TBusyScope(CDlgList& page) : m_page(page), m_bWasBusy(page.m_bBusy) { m_page.m_bBusy = true; }
    ~TBusyScope()
    {
        if (m_bDisabled)
        {
            if (m_bWasEnabled)
                m_page.EnableWindow(true);
            if (m_focus != nullptr && ::IsWindow(m_focus) && ::IsChild(m_page.m_hWnd, m_focus))
                ::SetFocus(m_focus);
        }
        m_page.m_bBusy = m_bWasBusy;
    }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

    // For a loop that pumps messages: no input reaches the page until the scope ends.
    void Disable()
    {
        m_bWasEnabled = m_page.IsWindowEnabled();
        m_focus = ::GetFocus();
        m_page.EnableWindow(false);
        m_bDisabled = true;
    }

private:
    CDlgList& m_page;
    const bool m_bWasBusy;
    bool m_bDisabled = false;
    bool m_bWasEnabled = false;
    HWND m_focus = nullptr;
};

CDlgList::CDlgList(CWnd* parent)
    : CDialogEx(IDD_DLG_LIST, parent), m_bFilling(false), m_bSortDescending(false), m_nMinTrackWidth(0),
      m_nMinTrackHeight(0), m_nLastMode(0), m_nListTop(0), m_nSortColumn(0), m_nFrameHeight(0),
      m_bNoDetailPass(false), m_pItems(nullptr), m_nItemCount(0), m_nColumns(0), m_pColumns(nullptr), m_nModes(0),
      m_pModes(nullptr)
{
}

CDlgList::~CDlgList()
{
    DeleteItems();
}

void CDlgList::DeleteItems()
{
    CDlgListItem* item = m_pItems;
    while (item != nullptr)
    {
        CDlgListItem* next = item->m_pNext;
        delete item;
        item = next;
    }
    m_pItems = nullptr;
}

bool CDlgList::Collect()
{
    return false;
}

int CDlgList::CountCheckedRows() const
{
    const int rows = m_list.GetItemCount();
    int checked = 0;
    for (int i = 0; i < rows; ++i)
        if (m_list.GetCheck(i))
            ++checked;
    return checked;
}

void CDlgList::UpdateStatus()
{
    const int rows = m_list.GetItemCount();
    const int checked = CountCheckedRows();
    wchar_t text[64];
    std::swprintf(text, 64, L"Selected items: %i/%i", checked, rows);
    m_stStatus.SetWindowText(text);
}

bool CDlgList::PrepareCommit(int, int*)
{
    return false;
}

bool CDlgList::IsItemShown(int, CDlgListItem*)
{
    return false;
}

bool CDlgList::CommitItem(int, CDlgListItem*, int)
{
    return false;
}

void CDlgList::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_BTN_CHECK, m_btnCheck);
    DDX_Control(pDX, IDC_ST_STATUS, m_stStatus);
    DDX_Control(pDX, IDC_LIST_ITEMS, m_list);
    DDX_Control(pDX, IDC_CB_MODE, m_cbMode);
}

BOOL CDlgList::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    SetWindowText(m_strTitle);

    RECT window = {}, client = {};
    GetWindowRect(&window);
    GetClientRect(&client);
    m_nMinTrackWidth = window.right - window.left;
    m_nFrameHeight = (window.bottom - window.top) - (client.bottom - client.top);

    RECT list = {};
    m_list.GetWindowRect(&list);
    ScreenToClient(&list);
    m_nListTop = list.top;
    // Never narrower than at first, nor lower than a list of a third of its first height needs.
    m_nMinTrackHeight = m_nListTop + (client.bottom - m_nListTop) / 3 + m_nFrameHeight;

    LayoutList();

    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_DOUBLEBUFFER |
                            LVS_EX_AUTOCHECKSELECT);
    for (int i = 0; i < m_nColumns; ++i)
        m_list.InsertColumn(i, m_pColumns[i].pszTitle, m_pColumns[i].bRightAlign ? LVCFMT_RIGHT : LVCFMT_LEFT, -1);

    // The combo box sorts the entries by text, so a mode is only ever read from the item data.
    for (int i = 0; i < m_nModes; ++i)
    {
        const int index = m_cbMode.AddString(m_pModes[i].pszText);
        if (index >= 0)
            m_cbMode.SetItemData(index, static_cast<DWORD_PTR>(static_cast<INT_PTR>(m_pModes[i].nMode)));
    }
    m_cbMode.SetCurSel(0);
    // The mode of the first fill, so that choosing another entry is always seen as a change.
    m_nLastMode = CurrentMode();

    LoadItems();
    FillList();
    return TRUE;
}

void CDlgList::LayoutList()
{
    if (m_nListTop == 0 || !m_list.IsWindow())
        return;
    RECT client = {};
    GetClientRect(&client);
    int height = client.bottom - m_nListTop;
    if (height < 0)
        height = 0;   // minimised: the client area is empty
    ::SetWindowPos(m_list, nullptr, 0, 0, client.right, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDlgList::OnGetMinMaxInfo(MINMAXINFO* info, int minTrackWidth, int minTrackHeight)
{
    if (info == nullptr || minTrackWidth <= 0)
        return;
    if (info->ptMinTrackSize.x < minTrackWidth)
        info->ptMinTrackSize.x = minTrackWidth;
    if (info->ptMinTrackSize.y < minTrackHeight)
        info->ptMinTrackSize.y = minTrackHeight;
}

int CDlgList::CurrentMode() const
{
    const int index = m_cbMode.GetCurSel();
    if (index == CB_ERR)
        return -1;
    return static_cast<int>(static_cast<INT_PTR>(m_cbMode.GetItemData(index)));
}

void CDlgList::SetCheckCaption()
{
    m_btnCheck.SetWindowText(CheckStateOf(m_list, 0) != 0 ? L"Uncheck" : L"Check");
}

bool CDlgList::LoadItems()
{
    TBusyScope busy(*this);

    // The list-view rows point at the rows about to be deleted. They go first, so that nothing
    // handled while the collection pumps messages (its command window) can reach a deleted row.
    m_bFilling = true;
    if (m_list.IsWindow())
        m_list.DeleteAllItems();
    m_bFilling = false;
    DeleteItems();
    m_bSortDescending = false;
    m_nItemCount = 0;
    m_nSortColumn = 0;

    bool result = Collect();
    if (result && !m_bNoDetailPass)
    {
        // Declared before the scope that disables the page, so that on every way out the page is
        // enabled again before its progress window goes.
        std::unique_ptr<CDlgTask> task(new CDlgTask(this));
        const bool shown = task->Create(IDD_DLG_TASK, this);
        if (shown)
        {
            wchar_t caption[128] = {};
            ::GetWindowTextW(m_hWnd, caption, 128);
            task->SetWindowText(caption);
            task->m_stText.SetWindowText(L"Collecting " + std::to_wstring(m_nItemCount) + L" " + m_strNoun + L" data...");
            task->m_pbProgress.SetStep(1);
            task->m_pbProgress.SetRange(0, static_cast<short>(m_nItemCount));
            task->ShowWindow(SW_SHOWNORMAL);
        }
        TBusyScope disabled(*this);
        disabled.Disable();

        // Head first: the reverse order of creation.
        for (CDlgListItem* item = m_pItems; item != nullptr; item = item->m_pNext)
        {
            PumpMessages();
            if (task->m_bAbort)
            {
                result = false;
                break;
            }
            item->LoadDetails(this);
            if (shown)
                task->m_pbProgress.StepIt();
        }
    }
    return result;
}

void CDlgList::FillList()
{
    m_bRefillHeld = false;
    m_bSortDescending = false;
    m_nSortColumn = 0;
    {
        // Item changes go unreported while the rows are rebuilt, and are reported again however
        // the fill ends: a fill broken off must not leave the status deaf for good.
        m_bFilling = true;
        TScopeExit filling([this] { m_bFilling = false; });
        m_list.DeleteAllItems();

        const int mode = CurrentMode();
        if (mode < 0)
            return;

        const std::wstring filter = CWnd(GetDlgItem(IDC_EDIT_FILTER)).GetWindowText();
        std::wstring label, lowered;
        std::vector<TLabelledRow> shown;
        int n = 0;
        for (CDlgListItem* item = m_pItems; item != nullptr && n < m_nItemCount; item = item->m_pNext, ++n)
        {
            if (!IsItemShown(mode, item))
                continue;
            item->GetLabel(label);
            if (!filter.empty() && !FilterOccurs(label, filter, lowered))
                continue;
            shown.push_back(TLabelledRow{label, reinterpret_cast<LPARAM>(item)});
        }
        OrderForSortedInsert(shown);

        // One repaint for the whole fill instead of one layout pass per inserted row; the list
        // paints again however the fill ends.
        m_list.SetRedraw(false);
        TScopeExit redraw([this] {
            m_list.SetRedraw(true);
            m_list.Invalidate();
        });
        for (const TLabelledRow& r : shown)
        {
            // The list view keeps its rows in ascending text order, so row 0 only asks to be inserted.
            const int row = m_list.InsertItem(0, r.label.c_str(), r.data);
            if (row >= 0)
                reinterpret_cast<CDlgListItem*>(r.data)->FillRow(&m_list, row);
        }
        for (int i = 0; i < m_nColumns; ++i)
            m_list.SetColumnWidth(i, LVSCW_AUTOSIZE);
    }
    SetCheckCaption();
    UpdateStatus();
}

void CDlgList::OnBnClickedRefresh()
{
    if (m_bBusy)
        return;
    LoadItems();
    FillList();
}

void CDlgList::OnBnClickedCheck()
{
    if (m_bBusy)
        return;
    const bool check = CheckStateOf(m_list, 0) == 0;
    m_bFilling = true;
    const int rows = m_list.GetItemCount();
    for (int i = 0; i < rows; ++i)
        m_list.SetCheck(i, check);
    m_bFilling = false;
    SetCheckCaption();
    UpdateStatus();
}

void CDlgList::OnBnClickedCommit()
{
    if (m_bBusy)
        return;
    if (m_cbMode.GetCurSel() == CB_ERR)
        return;
    const int mode = CurrentMode();
    if (mode < 0)
        return;   // a negative value is no mode, and its list is empty
    int param = 0;
    if (!PrepareCommit(mode, &param))
        return;

    // Each row's LoadDetails may pump messages (a silent run). The page is disabled and marked busy
    // for the loop so that no handler deletes, re-lists or re-sorts the rows the loop still walks.
    m_refusedNames.Clear();
    bool refill = false;
    {
        TBusyScope busy(*this);
        busy.Disable();
        const int rows = m_list.GetItemCount();
        for (int i = 0; i < rows; ++i)
        {
            if (!m_list.GetCheck(i))
                continue;
            CDlgListItem* item = reinterpret_cast<CDlgListItem*>(m_list.GetItemData(i));
            if (item == nullptr || !IsItemShown(mode, item))
                continue;
            if (!CommitItem(mode, item, param))
                break;
            item->LoadDetails(this);
            if (IsItemShown(mode, item))
                item->FillRow(&m_list, i);
            else
                refill = true;
        }
    }
    if (refill || m_bRefillHeld)
        FillList();
    m_refusedNames.Report(m_hWnd);
}

void CDlgList::OnLvnItemchangedList(NMHDR*, LRESULT* pResult)
{
    if (!m_bFilling)
    {
        SetCheckCaption();
        UpdateStatus();
    }
    *pResult = 0;
}

void CDlgList::OnLvnColumnclickList(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    if (m_bBusy)
        return;   // the loop addresses list-view rows by index
    const NMLISTVIEW* nm = reinterpret_cast<const NMLISTVIEW*>(pNMHDR);
    if (nm->iSubItem != m_nSortColumn)
    {
        m_nSortColumn = nm->iSubItem;
        m_bSortDescending = false;
    }
    else
        m_bSortDescending = !m_bSortDescending;
    m_list.SortItems(&CDlgList::CompareItems, reinterpret_cast<LPARAM>(this));
    m_list.Invalidate();
}

int CALLBACK CDlgList::CompareItems(LPARAM item1, LPARAM item2, LPARAM page)
{
    const CDlgList* self = reinterpret_cast<const CDlgList*>(page);
    CDlgListItem* first = reinterpret_cast<CDlgListItem*>(item1);
    CDlgListItem* second = reinterpret_cast<CDlgListItem*>(item2);
    if (self == nullptr || first == nullptr || second == nullptr)
        return 0;
    const int order = first->Compare(self->m_nSortColumn, second);
    if (!self->m_bSortDescending)
        return order;
    // Mirrored rather than negated: a row may answer INT_MIN.
    return order < 0 ? 1 : (order > 0 ? -1 : 0);
}

bool CDlgList::OnTimer(UINT_PTR id)
{
    if (id != kFilterTimer)
        return false;
    if (m_bBusy)
        m_bRefillHeld = true;   // the loop in progress refills when it ends
    else
        FillList();
    KillTimer(kFilterTimer);
    return true;
}

void CDlgList::OnSize()
{
    LayoutList();
}

void CDlgList::OnCbnSelchangeMode()
{
    const int mode = CurrentMode();
    if (mode == m_nLastMode)
        return;
    m_nLastMode = mode;
    if (m_bBusy)
        m_bRefillHeld = true;
    else
        FillList();
}

void CDlgList::OnEnChangeFilter()
{
    // Every keystroke restarts the wait: the list is refilled once typing pauses for a second.
    SetTimer(kFilterTimer, kFilterDelayMs);
}

bool CDlgList::RunWithDialog(TLineReader* out, const std::wstring& program, const std::wstring& commandLine,
                             unsigned flags, bool* stoppedByUser)
{
    if (stoppedByUser != nullptr)
        *stoppedByUser = false;
    // The runner cannot take an empty path (its string class throws), and an exception must not
    // travel through the window procedures above us.
    if (program.empty())
        return false;
    std::unique_ptr<CDlgExecute> dlg(new CDlgExecute(this, program, commandLine, flags));
    dlg->DoModal();
    if (stoppedByUser != nullptr)
        *stoppedByUser = dlg->m_bStoppedByUser;
    const bool result = dlg->Succeeded();
    if (result && out != nullptr)
        out->Reset(dlg->m_strOutput);
    return result;
}

bool CDlgList::RunSilent(TLineReader* out, const std::wstring& program, const std::wstring& commandLine)
{
    if (program.empty())
        return false;
    std::unique_ptr<TExecPiped> runner(new TExecPiped(program, commandLine, true));
    runner->Resume();
    if (!runner->WaitFor(nullptr, kSilentWaitMs))
        runner->Stop(kSilentStopMs);
    // From here on the worker has ended: its results can be read. A capture with a hole would hand
    // the parser an inventory with records missing.
    if (runner->m_dwLastError != 0 || runner->m_dwExitCode != 0 || runner->m_bOutputLost)
        return false;
    if (out == nullptr)
        return true;
    TVoid copy;
    if (!runner->CopyCaptured(&copy))
        return false;   // nothing captured, or out of memory: no text is not the tool's answer
    out->Reset(copy.ToAnsiText());
    return true;
}

bool CDlgList::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg)
    {
    case WM_COMMAND:
    {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == IDC_BTN_REFRESH && code == BN_CLICKED)
        {
            OnBnClickedRefresh();
            result = 0;
            return true;
        }
        if (id == IDC_BTN_CHECK && code == BN_CLICKED)
        {
            OnBnClickedCheck();
            result = 0;
            return true;
        }
        if (id == IDC_BTN_COMMIT && code == BN_CLICKED)
        {
            OnBnClickedCommit();
            result = 0;
            return true;
        }
        if (id == IDC_CB_MODE && code == CBN_SELCHANGE)
        {
            OnCbnSelchangeMode();
            result = 0;
            return true;
        }
        if (id == IDC_EDIT_FILTER && code == EN_CHANGE)
        {
            OnEnChangeFilter();
            result = 0;
            return true;
        }
        break;
    }
    case WM_NOTIFY:
    {
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr != nullptr && hdr->idFrom == IDC_LIST_ITEMS)
        {
            if (hdr->code == LVN_ITEMCHANGED)
            {
                OnLvnItemchangedList(hdr, &result);
                return true;
            }
            if (hdr->code == LVN_COLUMNCLICK)
            {
                OnLvnColumnclickList(hdr, &result);
                return true;
            }
        }
        break;
    }
    case WM_TIMER:
        if (OnTimer(static_cast<UINT_PTR>(wParam)))
        {
            result = 0;
            return true;
        }
        break;
    case WM_SIZE:
        OnSize();
        result = 0;
        return true;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam), m_nMinTrackWidth, m_nMinTrackHeight);
        result = 0;
        return true;
    default:
        break;
    }
    return CDialogEx::OnMessage(msg, wParam, lParam, result);
}
