// Dialogs from templates: modal and modeless, data exchange, and one message entry point.
//
// Each dialog class routes messages in its own OnMessage override: a plain switch whose
// cases name the handlers (OnBnClickedStart, OnLvnItemchangedTasks, ...), ending with the
// base class's OnMessage. That switch is the class's message map.
#pragma once

#include "framework/Wnd.h"
#include <string>

class CDialog;

class CDataExchange
{
public:
    CDataExchange(CDialog* dlg, bool save) : m_pDlgWnd(dlg), m_bSaveAndValidate(save) {}
    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate;
    bool m_bFail = false;
    int m_idLastControl = 0;
    void Fail(int id) { m_bFail = true; m_idLastControl = id; }
};

// Binds a control wrapper to the dialog's control with that id (once).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// Text of an edit box as an unsigned number; a text that is not a number fails the exchange.
void DDX_Text(CDataExchange* pDX, int id, UINT& value);
// Keeps a number within bounds, telling the user the allowed range when it is not.
void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal);

class CDialog : public CWnd
{
public:
    explicit CDialog(UINT idTemplate, CWnd* parent = nullptr);
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    virtual INT_PTR DoModal();
    virtual bool Create(UINT idTemplate, CWnd* parent = nullptr);   // modeless
    void EndDialog(int result);
    bool UpdateData(bool save = true);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnPaint();
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlColor);

    // The message map. Return true when handled; `result` is what the message returns.
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool m_bModal = false;
};

// The class library's extended dialog; it adds nothing our dialogs need.
class CDialogEx : public CDialog
{
public:
    using CDialog::CDialog;
};
