// The "OEM drivers repository" page: collects the OEM driver packages on its first timer, marks
// superseded ones, sorts by column and deletes the checked packages one command at a time.
#include "pages/driverstore/DlgDriverStore.h"
#include "app/App.h"
#include "app/DlgMain.h"
#include "dialogs/DlgExecute.h"
#include "dialogs/DlgList.h"
#include "dialogs/RefusedNames.h"
#include "dialogs/SortedInsert.h"
#include "framework/ScopeExit.h"
#include "resources/resource.h"
#include "textutil/ByteSize.h"
#include "textutil/DateText.h"

#include <cwchar>
#include <memory>
#include <vector>

namespace {

struct TRepoDrvColumn
{
    const wchar_t* pszTitle;
};

const TRepoDrvColumn RepoDrvColumns[] = {
    {L".inf"}, {L"Size"}, {L"Version"}, {L"Type"}, {L"Provider"}, {L"Installed"}, {L"OEM .inf"},
};
const int kColumnCount = static_cast<int>(sizeof(RepoDrvColumns) / sizeof(RepoDrvColumns[0]));

const UINT_PTR kCollectTimer = 1;
const UINT kCollectDelayMs = 500;
const wchar_t kInventoryCommand[] = L"dism /online /get-drivers /format:table /english";
const wchar_t kDeleteCommand[] = L"pnputil -f -d ";
const unsigned kRunFlags = EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE;

int Sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

// Runs one command in a command window over the page. The result is the launch error, else the
// exit code, else ERROR_NOT_ENOUGH_MEMORY when the window's success rule fails on output that was
// lost or not taken whole; `output` gets what the window showed; `stopped` whether the user
// cancelled the command while it ran.
DWORD RunInWindow(CWnd* page, const std::wstring& program, const std::wstring& commandLine, std::wstring* output,
                  bool* stopped = nullptr)
{
    if (stopped != nullptr)
        *stopped = false;
    // The runner cannot take an empty path: that is a command that cannot be started.
    if (program.empty())
        return ERROR_FILE_NOT_FOUND;
    std::unique_ptr<CDlgExecute> dlg(new CDlgExecute(page, program, commandLine, kRunFlags));
    const INT_PTR shown = dlg->DoModal();
    if (stopped != nullptr)
        *stopped = dlg->m_bStoppedByUser;
    if (shown == -1 || !dlg->m_bOpened)
    {
        // No window, so no runner ever started: its zero results must not read as a success.
        const DWORD error = ::GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
    if (dlg->m_pRunner->IsRunning())
        return STILL_ACTIVE;
    if (output != nullptr)
        *output = dlg->m_strOutput;
    if (dlg->m_pRunner->m_dwLastError != 0)
        return dlg->m_pRunner->m_dwLastError;
    if (dlg->m_pRunner->m_dwExitCode != 0)
        return dlg->m_pRunner->m_dwExitCode;
    // What is left to fail is the output itself: a table read from it would have rows missing.
    return dlg->Succeeded() ? 0 : static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY);
}

} // namespace

CDlgRepoDrv::CDlgRepoDrv(CWnd* parent)
    : CDialogEx(IDD_DLG_REPO_DRV, parent), m_bDescending(false), m_nMinTrackWidth(0), m_nMinTrackHeight(0),
      m_nListTop(0), m_nSortColumn(0), m_pItems(nullptr)
{
}

CDlgRepoDrv::~CDlgRepoDrv()
{
    DeleteItems();
}

void CDlgRepoDrv::DeleteItems()
{
    DeleteDriverList(m_pItems);
    m_pItems = nullptr;
}

CDlgRepoDrvItem* CDlgRepoDrv::ItemAt(int row) const
{
    return reinterpret_cast<CDlgRepoDrvItem*>(m_list.GetItemData(row));
}

void CDlgRepoDrv::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_BTN_DRV_UNCHECK, m_btnUncheck);
    DDX_Control(pDX, IDC_BTN_DRV_DELETE, m_btnDelete);
    DDX_Control(pDX, IDC_ST_DRV_STATUS, m_stStatus);
    DDX_Control(pDX, IDC_LIST_DRIVERS, m_list);
}

BOOL CDlgRepoDrv::OnInitDialog()
{
    CDialogEx::OnInitDialog();

    RECT window = {}, client = {};
    GetWindowRect(&window);
    GetClientRect(&client);
    m_nMinTrackWidth = window.right - window.left;
    const int frameHeight = (window.bottom - window.top) - (client.bottom - client.top);

    RECT list = {};
    m_list.GetWindowRect(&list);
    ScreenToClient(&list);
    m_nListTop = list.top;
    // Never narrower than at first, nor lower than a list of a third of its first height needs.
    m_nMinTrackHeight = m_nListTop + (client.bottom - m_nListTop) / 3 + frameHeight;

    LayoutList();

    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_DOUBLEBUFFER |
                            LVS_EX_AUTOCHECKSELECT);
    for (int i = 0; i < kColumnCount; ++i)
        m_list.InsertColumn(i, RepoDrvColumns[i].pszTitle, LVCFMT_LEFT, -1);

    // The inventory takes a while: the page shows itself first and collects on this timer.
    SetTimer(kCollectTimer, kCollectDelayMs);
    return TRUE;
}

bool CDlgRepoDrv::LayoutList()
{
    if (m_nListTop == 0 || !m_list.IsWindow())
        return false;
    RECT client = {};
    GetClientRect(&client);
    int height = client.bottom - m_nListTop;
    if (height < 0)
        height = 0;
    return ::SetWindowPos(m_list, nullptr, 0, 0, client.right, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) !=
           FALSE;
}

void CDlgRepoDrv::OnTimer(UINT_PTR id)
{
    if (id != kCollectTimer)
        return;
    KillTimer(kCollectTimer);
    OnBnClickedRefresh();
}

void CDlgRepoDrv::OnSize()
{
    LayoutList();
}

void CDlgRepoDrv::OnBnClickedRefresh()
{
    // The rows point at the records: they go first.
    m_list.DeleteAllItems();
    DeleteItems();
    m_bDescending = false;
    m_nSortColumn = 0;

    std::wstring output;
    const DWORD result = RunInWindow(this, theApp.m_strDismPath, kInventoryCommand, &output);
    if (result != 0)
    {
        EndDialog(static_cast<int>(result));
        return;
    }
    TLineReader reader(output);
    if (!ReadDriverTable(reader, m_pItems))
    {
        EndDialog(0);
        return;
    }

    FillList();
    OnBnClickedOldDrivers();
}

void CDlgRepoDrv::FillList()
{
    std::vector<TLabelledRow> rows;
    for (CDlgRepoDrvItem* item = m_pItems; item != nullptr; item = item->m_pNext)
        rows.push_back(TLabelledRow{item->m_strInfName, reinterpret_cast<LPARAM>(item)});
    OrderForSortedInsert(rows);

    // One repaint for the whole fill instead of one per inserted row and text; the list paints
    // again however the fill ends.
    m_list.SetRedraw(false);
    TScopeExit redraw([this] {
        m_list.SetRedraw(true);
        m_list.Invalidate();
    });
    for (const TLabelledRow& r : rows)
    {
        // The list sorts by the first column as rows arrive: write the texts where the row landed.
        const int row = m_list.InsertItem(0, r.label.c_str(), r.data);
        if (row < 0)
            continue;
        const CDlgRepoDrvItem* item = reinterpret_cast<const CDlgRepoDrvItem*>(r.data);
        m_list.SetItemText(row, 2, item->m_strVersion.c_str());
        m_list.SetItemText(row, 3, item->m_strType.c_str());
        m_list.SetItemText(row, 4, item->m_strProvider.c_str());
        m_list.SetItemText(row, 1, item->m_strSizeText.c_str());
        m_list.SetItemText(row, 5, item->m_strDate.c_str());
        m_list.SetItemText(row, 6, item->m_strPublishedName.c_str());
    }
    for (int i = 0; i < kColumnCount; ++i)
        m_list.SetColumnWidth(i, LVSCW_AUTOSIZE);
}

void CDlgRepoDrv::OnBnClickedOldDrivers()
{
    const int rows = m_list.GetItemCount();
    int firstChecked = -1;
    for (int i = 0; i < rows; ++i)
    {
        const CDlgRepoDrvItem* a = ItemAt(i);
        bool superseded = false;
        for (int j = 0; a != nullptr && j < rows && !superseded; ++j)
        {
            if (j == i)
                continue;
            const CDlgRepoDrvItem* b = ItemAt(j);
            superseded = b != nullptr && a->IsSupersededBy(*b);
        }
        m_list.SetCheck(i, superseded);
        if (superseded && firstChecked < 0)
            firstChecked = i;
    }
    if (firstChecked >= 0)
        m_list.EnsureVisible(firstChecked, false);
    UpdateSelectionInfo();
}

void CDlgRepoDrv::UpdateSelectionInfo()
{
    const int rows = m_list.GetItemCount();
    int checked = 0;
    uint64_t total = 0, checkedTotal = 0;
    for (int i = 0; i < rows; ++i)
    {
        const CDlgRepoDrvItem* item = ItemAt(i);
        const uint64_t size = item != nullptr ? item->m_nSizeOnDisk : 0;
        total += size;
        if (m_list.GetCheck(i))
        {
            ++checked;
            checkedTotal += size;
        }
    }
    wchar_t counts[64];
    std::swprintf(counts, 64, L"Selected Drivers: %i/%i - ", checked, rows);
    std::wstring checkedText, totalText;
    FormatByteSize(checkedText, checkedTotal);
    FormatByteSize(totalText, total);
    m_stStatus.SetWindowText(counts + checkedText + L" / " + totalText);
    m_btnUncheck.EnableWindow(checked > 0);
    m_btnDelete.SetWindowText(checked > 0 ? L"REMOVE ITEMS" : L"Exit");
}

void CDlgRepoDrv::OnLvnItemchangedList(NMHDR*, LRESULT* pResult)
{
    UpdateSelectionInfo();
    *pResult = 0;
}

void CDlgRepoDrv::OnBnClickedUncheck()
{
    const int rows = m_list.GetItemCount();
    for (int i = 0; i < rows; ++i)
        m_list.SetCheck(i, false);
    UpdateSelectionInfo();
}

void CDlgRepoDrv::OnBnClickedDelete()
{
    const std::wstring program = theApp.m_strSysDir + L"pnputil.exe";
    TRefusedNames refused;
    int checked = 0;
    {
        // A deleted row leaves the list without an item-change notice: the counts and buttons are
        // brought up to date on every way out of the loop, an exception included.
        TScopeExit recount([this] { UpdateSelectionInfo(); });
        int i = 0;
        while (i < m_list.GetItemCount())
        {
            if (!m_list.GetCheck(i))
            {
                ++i;
                continue;
            }
            ++checked;
            const CDlgRepoDrvItem* item = ItemAt(i);
            // The name goes into a command line: only the published-name form the table is known to
            // print may get there. Any other stays checked, as a deletion that failed.
            bool deleted = false;
            bool stopped = false;
            if (item != nullptr && CDlgRepoDrvItem::IsPublishedName(item->m_strPublishedName))
                deleted = RunInWindow(this, program, kDeleteCommand + item->m_strPublishedName, nullptr, &stopped) == 0;
            else if (item != nullptr)
                refused.Add(item->m_strPublishedName);
            // A package that is gone leaves the list, also when the user's Cancel came as it went.
            if (deleted)
                m_list.DeleteItem(i);   // the next row moves up to this index
            else
                ++i;
            // The user stopped a deletion that was still running: no later row is deleted.
            if (stopped)
                break;
        }
    }
    if (checked > 0)
        refused.Report(m_hWnd);
    else
        EndDialog(0);
}

void CDlgRepoDrv::OnLvnColumnclickList(NMHDR* pNMHDR, LRESULT* pResult)
{
    const NMLISTVIEW* view = reinterpret_cast<const NMLISTVIEW*>(pNMHDR);
    if (view->iSubItem == m_nSortColumn)
    {
        m_bDescending = !m_bDescending;
    }
    else
    {
        m_nSortColumn = view->iSubItem;
        m_bDescending = false;
    }
    m_list.SortItems(CompareItems, reinterpret_cast<LPARAM>(this));
    m_list.Invalidate(true);
    *pResult = 0;
}

int CALLBACK CDlgRepoDrv::CompareItems(LPARAM item1, LPARAM item2, LPARAM page)
{
    const CDlgRepoDrvItem* a = reinterpret_cast<const CDlgRepoDrvItem*>(item1);
    const CDlgRepoDrvItem* b = reinterpret_cast<const CDlgRepoDrvItem*>(item2);
    const CDlgRepoDrv* self = reinterpret_cast<const CDlgRepoDrv*>(page);
    if (a == nullptr || b == nullptr || self == nullptr)
        return 0;
    int result;
    switch (self->m_nSortColumn)
    {
    case 1:
        result = a->m_nSizeOnDisk < b->m_nSizeOnDisk ? -1 : (a->m_nSizeOnDisk > b->m_nSizeOnDisk ? 1 : 0);
        break;
    case 2:
        result = Sign(CompareTextNoCase(a->m_strVersion, b->m_strVersion));
        break;
    case 3:
        result = Sign(CompareTextNoCase(a->m_strType, b->m_strType));
        break;
    case 4:
        result = Sign(CompareTextNoCase(a->m_strProvider, b->m_strProvider));
        break;
    case 5:
        result = CompareDateDMY(a->m_strDate, b->m_strDate);
        break;
    case 6:
        result = Sign(CompareTextNoCase(a->m_strPublishedName, b->m_strPublishedName));
        break;
    default:
        result = Sign(CompareTextNoCase(a->m_strInfName, b->m_strInfName));
        if (result == 0)   // newer packages first
            result = a->m_nVersion > b->m_nVersion ? -1 : (a->m_nVersion < b->m_nVersion ? 1 : 0);
        if (result == 0)
            result = a->m_nOemNumber < b->m_nOemNumber ? -1 : (a->m_nOemNumber > b->m_nOemNumber ? 1 : 0);
        break;
    }
    return self->m_bDescending ? -result : result;
}

bool CDlgRepoDrv::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg)
    {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
        {
            switch (LOWORD(wParam))
            {
            case IDC_BTN_OLD_DRIVERS: OnBnClickedOldDrivers(); result = 0; return true;
            case IDC_BTN_DRV_UNCHECK: OnBnClickedUncheck(); result = 0; return true;
            case IDC_BTN_DRV_REFRESH: OnBnClickedRefresh(); result = 0; return true;
            case IDC_BTN_DRV_DELETE: OnBnClickedDelete(); result = 0; return true;
            default: break;
            }
        }
        break;
    case WM_NOTIFY:
    {
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr != nullptr && hdr->idFrom == IDC_LIST_DRIVERS)
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
        OnTimer(static_cast<UINT_PTR>(wParam));
        break;   // and the default handling
    case WM_SIZE:
        OnSize();
        break;   // and the default handling
    case WM_GETMINMAXINFO:
        CDlgList::OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam), m_nMinTrackWidth, m_nMinTrackHeight);
        result = 0;
        return true;
    default:
        break;
    }
    return CDialogEx::OnMessage(msg, wParam, lParam, result);
}

bool TaskOemDriversRepository()
{
    std::unique_ptr<CDialog> page(new CDlgRepoDrv(theApp.m_pMainDlg));
    page->DoModal();
    return true;
}
