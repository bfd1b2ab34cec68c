// Dialog procedure, modal and modeless creation, and data exchange.
#include "framework/Dialog.h"
#include "framework/WinApp.h"

#include <cwchar>
#include <cwctype>

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (control.m_hWnd == nullptr)
        control.Attach(pDX->m_pDlgWnd->GetDlgItem(id));
}

void DDX_Text(CDataExchange* pDX, int id, UINT& value)
{
    HWND ctl = pDX->m_pDlgWnd->GetDlgItem(id);
    pDX->m_idLastControl = id;
    if (!pDX->m_bSaveAndValidate)
    {
        ::SetWindowTextW(ctl, std::to_wstring(value).c_str());
        return;
    }
    std::wstring text = CWnd(ctl).GetWindowText();
    size_t i = 0;
    while (i < text.size() && iswspace(text[i]))
        ++i;
    size_t digits = i;
    unsigned long long v = 0;
    while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9' && v <= 0xFFFFFFFFull)
        v = v * 10 + static_cast<unsigned>(text[digits++] - L'0');
    size_t end = digits;
    while (end < text.size() && iswspace(text[end]))
        ++end;
    if (digits == i || end != text.size() || v > 0xFFFFFFFFull)
    {
        AfxMessageBox(L"Please enter an unsigned integer.", MB_ICONEXCLAMATION);
        ::SetFocus(ctl);
        pDX->Fail(id);
        return;
    }
    value = static_cast<UINT>(v);
}

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal)
{
    if (!pDX->m_bSaveAndValidate || pDX->m_bFail)
        return;
    if (value < minVal || value > maxVal)
    {
        wchar_t text[128];
        swprintf(text, 128, L"Please enter an integer between %u and %u.", minVal, maxVal);
        AfxMessageBox(text, MB_ICONEXCLAMATION);
        ::SetFocus(pDX->m_pDlgWnd->GetDlgItem(pDX->m_idLastControl));
        pDX->Fail(pDX->m_idLastControl);
    }
}

CDialog::CDialog(UINT idTemplate, CWnd* parent) : m_nIDTemplate(idTemplate), m_pParentWnd(parent)
{
}

CDialog::~CDialog()
{
    // A modeless dialog still open when its owner deletes it must not call back into a dead object.
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
    {
        ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
    }
    m_hWnd = nullptr;
}

static HWND ParentHandle(CWnd* parent)
{
    if (parent != nullptr)
        return parent->m_hWnd;
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd != nullptr)
        return app->m_pMainWnd->m_hWnd;
    return nullptr;
}

INT_PTR CDialog::DoModal()
{
    m_bModal = true;
    INT_PTR r = ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), ParentHandle(m_pParentWnd),
                                  DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    m_bModal = false;
    return r;
}

bool CDialog::Create(UINT idTemplate, CWnd* parent)
{
    m_nIDTemplate = idTemplate;
    m_pParentWnd = parent;
    m_bModal = false;
    HWND h = ::CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(idTemplate), ParentHandle(parent),
                                  DialogProc, reinterpret_cast<LPARAM>(this));
    return h != nullptr;
}

void CDialog::EndDialog(int result)
{
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        ::ShowWindow(m_hWnd, SW_HIDE);
}

bool CDialog::UpdateData(bool save)
{
    CDataExchange dx(this, save);
    DoDataExchange(&dx);
    return !dx.m_bFail;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*)
{
}

void CDialog::OnOK()
{
    if (!UpdateData(true))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::OnPaint()
{
    PAINTSTRUCT ps;
    ::BeginPaint(m_hWnd, &ps);
    ::EndPaint(m_hWnd, &ps);
}

HBRUSH CDialog::OnCtlColor(HDC, HWND, UINT)
{
    return nullptr;   // the dialog manager's own colours
}

bool CDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg)
    {
    case WM_COMMAND:
        if (lParam == 0 || HIWORD(wParam) == BN_CLICKED)
        {
            if (LOWORD(wParam) == IDOK) { OnOK(); result = 0; return true; }
            if (LOWORD(wParam) == IDCANCEL) { OnCancel(); result = 0; return true; }
        }
        break;
    case WM_PAINT:
        OnPaint();
        result = 0;
        return true;
    case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
    {
        HBRUSH brush = OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), msg);
        if (brush == nullptr)
            return false;
        result = reinterpret_cast<LRESULT>(brush);
        return true;
    }
    default:
        break;
    }
    return false;
}

// Messages whose result the dialog procedure returns itself instead of through DWLP_MSGRESULT.
static bool ReturnsDirectly(UINT msg)
{
    switch (msg)
    {
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_COMPAREITEM:
    case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON: case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CDialog* self;
    if (msg == WM_INITDIALOG)
    {
        self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        self->m_hWnd = hWnd;
        try
        {
            return self->OnInitDialog();
        }
        catch (const std::exception& e)
        {
            AfxReportException(&e);
        }
        catch (...)
        {
            AfxReportException(nullptr);
        }
        // A dialog whose set-up broke off halfway is not fit to use: it closes as if cancelled.
        self->EndDialog(IDCANCEL);
        return FALSE;
    }
    self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    if (self == nullptr)
        return FALSE;   // messages before WM_INITDIALOG (WM_SETFONT, WM_NCCREATE...) get the defaults

    // No exception may leave a dialog procedure: it would have to unwind through the system's
    // frames, which ends the program. The message then counts as not handled, so it gets the
    // dialog manager's default answer.
    LRESULT result = 0;
    bool handled = false;
    try
    {
        handled = self->OnMessage(msg, wParam, lParam, result);
    }
    catch (const std::exception& e)
    {
        AfxReportException(&e);
        handled = false;
    }
    catch (...)
    {
        AfxReportException(nullptr);
        handled = false;
    }
    if (msg == WM_NCDESTROY)
    {
        ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    if (!handled)
        return FALSE;
    if (ReturnsDirectly(msg))
        return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
