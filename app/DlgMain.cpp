// Main dialog: fills the grouped task list and follows the selection.
#include "app/DlgMain.h"
#include "app/App.h"
#include "resources/resource.h"

#include <cwchar>
#include <vector>

CDlgMain::CDlgMain(CWnd* parent)
    : CDialogEx(IDD_SYS_VANTREL_DIALOG, parent), m_pCurrentTask(nullptr)
{
    m_hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CDlgMain::~CDlgMain()
{
}

void CDlgMain::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_BTN_START, m_btnStart);
    DDX_Control(pDX, IDC_EDIT_DESCRIPTION, m_edDescription);
    DDX_Control(pDX, IDC_LIST_TASKS, m_listTasks);
}

std::wstring CDlgMain::FormatVersion(const VS_FIXEDFILEINFO& info)
{
    wchar_t text[64];
    swprintf(text, 64, L"%u.%u.%u.%u", HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS),
             HIWORD(info.dwFileVersionLS), LOWORD(info.dwFileVersionLS));
    std::wstring version = text;
    if (info.dwFileFlags & VS_FF_DEBUG)
        version += L".debug";
    if (info.dwFileFlags & VS_FF_PRERELEASE)
        version += L".prerelease";
    if (info.dwFileFlags & VS_FF_PRIVATEBUILD)
        version += L".privateBld";
    if (info.dwFileFlags & VS_FF_SPECIALBUILD)
        version += L".specialBld";
    return version;
}

std::wstring CDlgMain::GetVersionText()
{
    wchar_t path[1041] = {};
    DWORD len = ::GetModuleFileNameW(nullptr, path, 1041);
    if (len == 0 || len >= 1041)
        return L"unknown";
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path, &handle);
    if (size == 0)
        return L"unknown";
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoW(path, 0, size, block.data()))
        return L"unknown";
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLen = 0;
    if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLen) || fixed == nullptr ||
        fixedLen < sizeof(VS_FIXEDFILEINFO))
        return L"unknown";
    VS_FIXEDFILEINFO info = *fixed;
    return FormatVersion(info);
}

BOOL CDlgMain::OnInitDialog()
{
    CDialogEx::OnInitDialog();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    int height = 9;
    if (HDC dc = ::GetWindowDC(m_hWnd))
    {
        TEXTMETRICW tm;
        if (::GetTextMetricsW(dc, &tm))
            height = tm.tmHeight;
        ::ReleaseDC(m_hWnd, dc);
    }
    theApp.m_font.Attach(::CreateFontW(height, 0, 0, 0, 0, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                                       L"Courier New"));
    theApp.m_pMainDlg = this;

    std::wstring title = theApp.m_pszTitle;
    title += L" - v";
    title += GetVersionText();
    SetWindowText(title);

    m_edDescription.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(theApp.m_font.GetSafeHandle()), TRUE);

    m_listTasks.SetExtendedStyle(m_listTasks.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_AUTOSIZECOLUMNS);
    m_listTasks.EnableGroupView(true);

    RECT rc;
    m_listTasks.GetClientRect(&rc);
    m_listTasks.InsertColumn(0, L"task", LVCFMT_LEFT, rc.right - rc.left);

    for (int id = 0; id < TASK_GROUP_COUNT; ++id)
    {
        LVGROUP group = {};
        group.cbSize = sizeof(group);
        group.mask = LVGF_HEADER | LVGF_GROUPID | LVGF_STATE | LVGF_ALIGN;
        group.pszHeader = const_cast<wchar_t*>(TaskGroupNames[id]);
        group.iGroupId = id;
        group.state = LVGS_NORMAL;
        group.stateMask = 0;
        group.uAlign = LVGA_HEADER_CENTER;
        m_listTasks.InsertGroup(id, &group);
    }

    for (int row = 0; row < TASK_ROW_COUNT; ++row)
    {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_GROUPID | LVIF_STATE;
        item.iItem = 0;
        item.pszText = const_cast<wchar_t*>(TaskTable[row].pszName);
        item.lParam = reinterpret_cast<LPARAM>(TaskTable[row].pTask);
        item.iGroupId = static_cast<int>(TaskTable[row].nGroup);
        if (row == 0)
        {
            item.state = LVIS_SELECTED;
            item.stateMask = LVIS_SELECTED;
        }
        m_listTasks.InsertItem(&item);
    }
    return TRUE;
}

void CDlgMain::OnLvnItemchangedTasks(NMHDR* pNMHDR, LRESULT* pResult)
{
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(pNMHDR);
    if ((change->uNewState & LVIS_SELECTED) == 0)
        return;

    m_pCurrentTask = reinterpret_cast<const TTaskRecord*>(m_listTasks.GetItemData(change->iItem));
    if (m_pCurrentTask != nullptr)
    {
        m_edDescription.SetWindowText(m_pCurrentTask->pszDescription);
        if (m_pCurrentTask->pfnIsAvailable != nullptr && m_pCurrentTask->pfnIsAvailable())
        {
            m_btnStart.EnableWindow(true);
            m_btnStart.SetWindowText(L"Let's Start It!!!");
            *pResult = 0;
            return;
        }
    }
    m_btnStart.EnableWindow(false);
    m_btnStart.SetWindowText(L"... task not available ...");
    *pResult = 0;
}

void CDlgMain::OnBnClickedStart()
{
    if (m_pCurrentTask != nullptr && m_pCurrentTask->pfnRun != nullptr)
        m_pCurrentTask->pfnRun();
}

void CDlgMain::OnPaint()
{
    if (!IsIconic())
    {
        CDialogEx::OnPaint();
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rc;
    GetClientRect(&rc);
    int x = (rc.right - rc.left - cxIcon + 1) / 2;
    int y = (rc.bottom - rc.top - cyIcon + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
}

HCURSOR CDlgMain::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

HBRUSH CDlgMain::OnCtlColor(HDC dc, HWND control, UINT ctlColor)
{
    if (control == m_edDescription.m_hWnd)
        return ::GetSysColorBrush(COLOR_WINDOW);
    return CDialogEx::OnCtlColor(dc, control, ctlColor);
}

bool CDlgMain::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg)
    {
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_BTN_START && HIWORD(wParam) == BN_CLICKED)
        {
            OnBnClickedStart();
            result = 0;
            return true;
        }
        break;
    case WM_NOTIFY:
    {
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr->idFrom == IDC_LIST_TASKS && hdr->code == LVN_ITEMCHANGED)
        {
            result = 0;
            OnLvnItemchangedTasks(hdr, &result);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return CDialogEx::OnMessage(msg, wParam, lParam, result);
}
