// The modal prompt for one whole number between a minimum and a maximum.
#pragma once

#include "framework/Dialog.h"
#include "framework/Controls.h"
#include <string>

// The creator sets the bounds, the starting value, caption and label, runs it modally, and reads
// m_bCancelled first and m_nValue only when that is clear.
class CDlgGetIntValue : public CDialog
{
public:
    explicit CDlgGetIntValue(CWnd* parent);

    bool m_bCancelled : 1;
    bool m_bSigned : 1;
    int m_nMin;
    int m_nMax;     // applied only when above m_nMin
    int m_nValue;   // the last valid value typed
    std::wstring m_strCaption;
    std::wstring m_strLabel;
    CButton m_btnOk;

    // Whether `value` lies within the bounds (all comparisons signed).
    bool IsInRange(int value) const;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void OnBnClickedOk();
    void OnBnClickedCancel();
    void OnEnChangeValue();
};
