// Progress window: centred on its page; Cancel raises the abort flag the detail pass polls.
#include "dialogs/DlgTask.h"
#include "resources/resource.h"

CDlgTask::CDlgTask(CWnd* parent) : CDialog(IDD_DLG_TASK, parent), m_bAbort(false)
{
}

void CDlgTask::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ST_TASK_TEXT, m_stText);
    DDX_Control(pDX, IDC_PB_TASK, m_pbProgress);
}

BOOL CDlgTask::OnInitDialog()
{
    CDialog::OnInitDialog();

    // Centred on the page in screen coordinates; over a smaller page it overhangs both sides equally.
    RECT own = {}, parent = {};
    GetWindowRect(&own);
    HWND hParent = GetParent();
    if (hParent != nullptr && ::GetWindowRect(hParent, &parent))
    {
        const int ownWidth = own.right - own.left, ownHeight = own.bottom - own.top;
        const int x = parent.left + ((parent.right - parent.left) - ownWidth) / 2;
        const int y = parent.top + ((parent.bottom - parent.top) - ownHeight) / 2;
        ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    }
    else
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOMOVE | SWP_SHOWWINDOW);
    return TRUE;
}

void CDlgTask::OnBnClickedCancel()
{
    m_bAbort = true;
    OnCancel();
}

bool CDlgTask::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg)
    {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && (lParam == 0 || HIWORD(wParam) == BN_CLICKED))
        {
            OnBnClickedCancel();
            result = 0;
            return true;
        }
        break;
    default:
        break;
    }
    return CDialog::OnMessage(msg, wParam, lParam, result);
}
