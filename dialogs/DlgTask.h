// The modeless progress window of a checklist page's detail pass.
#pragma once

#include "framework/Dialog.h"
#include "framework/Controls.h"

// Its user creates it modeless on the page (Create with IDD_DLG_TASK), sets caption, text and
// progress range, reads m_bAbort between steps, then destroys and deletes it.
class CDlgTask : public CDialog
{
public:
    explicit CDlgTask(CWnd* parent);

    bool m_bAbort;
    CStatic m_stText;
    CProgressCtrl m_pbProgress;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void OnBnClickedCancel();
};
