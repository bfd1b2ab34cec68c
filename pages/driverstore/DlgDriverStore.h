// CDlgRepoDrv: the "OEM drivers repository" page, and the task that opens it.
#pragma once

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "pages/driverstore/DriverPackage.h"

class CDlgRepoDrv : public CDialogEx
{
public:
    explicit CDlgRepoDrv(CWnd* parent);
    ~CDlgRepoDrv() override;

    // Sizes the list to the client area below the button band; false when it did not run or failed.
    bool LayoutList();
    // Status text, "Uncheck" state and the caption of the delete button from the check boxes.
    void UpdateSelectionInfo();
    // Lists every record, each as a row the list places by its INF name, and sizes the columns.
    void FillList();
    // The list's sort callback: two records by the page's sort column, reversed when descending.
    static int CALLBACK CompareItems(LPARAM item1, LPARAM item2, LPARAM page);

    bool m_bDescending : 1;
    int m_nMinTrackWidth;
    int m_nMinTrackHeight;
    int m_nListTop;
    int m_nSortColumn;
    CDlgRepoDrvItem* m_pItems;
    CButton m_btnUncheck;
    CButton m_btnDelete;
    CListCtrl m_list;
    CStatic m_stStatus;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void OnBnClickedOldDrivers();
    void OnBnClickedUncheck();
    void OnBnClickedRefresh();
    void OnBnClickedDelete();
    void OnLvnItemchangedList(NMHDR* pNMHDR, LRESULT* pResult);
    void OnLvnColumnclickList(NMHDR* pNMHDR, LRESULT* pResult);
    void OnTimer(UINT_PTR id);
    void OnSize();

private:
    CDlgRepoDrvItem* ItemAt(int row) const;
    void DeleteItems();
};

// Run function of the task row "OEM drivers repository": shows the page over the main dialog.
bool TaskOemDriversRepository();
