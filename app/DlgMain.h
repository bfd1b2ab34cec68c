// The main dialog: grouped task list, description box and the start button.
#pragma once

#include "framework/Dialog.h"
#include "framework/Controls.h"
#include "app/TaskTable.h"
#include <string>

class CDlgMain : public CDialogEx
{
public:
    explicit CDlgMain(CWnd* parent = nullptr);
    ~CDlgMain() override;

    // "%u.%u.%u.%u" of the program file's version plus its build flags, or "unknown".
    static std::wstring GetVersionText();
    // The same for a version block already read (flags as they stand, without the mask).
    static std::wstring FormatVersion(const VS_FIXEDFILEINFO& info);

    const TTaskRecord* m_pCurrentTask;
    HICON m_hIcon;
    CButton m_btnStart;
    CEdit m_edDescription;
    CListCtrl m_listTasks;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void OnLvnItemchangedTasks(NMHDR* pNMHDR, LRESULT* pResult);
    void OnBnClickedStart();
    void OnPaint() override;
    HCURSOR OnQueryDragIcon();
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlColor) override;
};
