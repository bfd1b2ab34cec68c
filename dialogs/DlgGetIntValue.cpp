// Number prompt: OK is enabled only while the edit holds a number within the bounds.
#include "dialogs/DlgGetIntValue.h"
#include "resources/resource.h"

CDlgGetIntValue::CDlgGetIntValue(CWnd* parent)
    : CDialog(IDD_DLG_GET_INT, parent), m_bCancelled(false), m_bSigned(false), m_nMin(0), m_nMax(0), m_nValue(0)
{
}

void CDlgGetIntValue::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_btnOk);
}

BOOL CDlgGetIntValue::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowText(m_strCaption);
    ::SetDlgItemTextW(m_hWnd, IDC_ST_VALUE_LABEL, m_strLabel.c_str());
    // The edit starts empty, which is no number yet.
    m_btnOk.EnableWindow(false);
    return TRUE;
}

bool CDlgGetIntValue::IsInRange(int value) const
{
    if (value < m_nMin)
        return false;
    return !(m_nMin < m_nMax && value > m_nMax);
}

void CDlgGetIntValue::OnEnChangeValue()
{
    BOOL translated = FALSE;
    const int value = static_cast<int>(::GetDlgItemInt(m_hWnd, IDC_EDIT_VALUE, &translated, m_bSigned ? TRUE : FALSE));
    const bool valid = translated != FALSE && IsInRange(value);
    if (valid)
        m_nValue = value;
    m_btnOk.EnableWindow(valid);
}

void CDlgGetIntValue::OnBnClickedOk()
{
    // Enter reaches us even while OK is disabled; ending then would hand back a value the user
    // never got accepted (the last valid one, or the creator's start value).
    if (!m_btnOk.IsWindowEnabled())
        return;
    OnOK();
}

void CDlgGetIntValue::OnBnClickedCancel()
{
    m_bCancelled = true;
    OnCancel();
}

bool CDlgGetIntValue::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg)
    {
    case WM_COMMAND:
    {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        const bool click = lParam == 0 || code == BN_CLICKED;
        if (id == IDOK && click)
        {
            OnBnClickedOk();
            result = 0;
            return true;
        }
        if (id == IDCANCEL && click)
        {
            OnBnClickedCancel();
            result = 0;
            return true;
        }
        if (id == IDC_EDIT_VALUE && code == EN_CHANGE)
        {
            OnEnChangeValue();
            result = 0;
            return true;
        }
        break;
    }
    default:
        break;
    }
    return CDialog::OnMessage(msg, wParam, lParam, result);
}
