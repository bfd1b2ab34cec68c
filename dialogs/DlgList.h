// The generic checklist page: collect rows, filter, sort, check and commit them.
#pragma once

#include "dialogs/DlgListItem.h"
#include "dialogs/RefusedNames.h"
#include "framework/Dialog.h"
#include "framework/Controls.h"
#include "textutil/LineReader.h"
#include <string>

// A concrete page derives from it, sets title, noun, column and mode tables (and m_bNoDetailPass
// when its rows need no detail pass) in its constructor, and overrides the five page operations.
class CDlgList : public CDialogEx
{
public:
    explicit CDlgList(CWnd* parent);
    ~CDlgList() override;

    // The page operations; the base collects nothing and commits nothing.
    virtual bool Collect();
    virtual void UpdateStatus();
    virtual bool PrepareCommit(int mode, int* pParam);
    virtual bool IsItemShown(int mode, CDlgListItem* item);
    virtual bool CommitItem(int mode, CDlgListItem* item, int param);

    // Deletes the rows, collects and runs the detail pass; false when collecting failed or the
    // detail pass was cancelled. Callers fill the list either way.
    bool LoadItems();
    // Rebuilds the list view from the rows that belong to the current mode and match the filter.
    void FillList();
    // Sizes the list view to the client area below the controls band.
    void LayoutList();

    // Runs a command in a command window owned by this page. True when it ended with launch error
    // and exit code 0; the reader (when given) then holds the output, rewound. `stoppedByUser`, when
    // given, tells whether the user's Cancel stopped the command while it still ran.
    bool RunWithDialog(TLineReader* out, const std::wstring& program, const std::wstring& commandLine, unsigned flags,
                       bool* stoppedByUser = nullptr);
    // Runs a command with no window, waiting at most 5000 ms while messages are pumped. True when it
    // ended with launch error and exit code 0 and, when a reader is given, printed something, which
    // the reader then holds (converted from the thread's ANSI code page), rewound.
    static bool RunSilent(TLineReader* out, const std::wstring& program, const std::wstring& commandLine);

    // The minimum-size rule: raises the minimum tracking size to the given one where it is smaller,
    // once it is known (width above 0). Shared with the driver store page.
    static void OnGetMinMaxInfo(MINMAXINFO* info, int minTrackWidth, int minTrackHeight);

    // The list view's sort callback: the first row's Compare on the page's sort column, negated for
    // a descending sort.
    static int CALLBACK CompareItems(LPARAM item1, LPARAM item2, LPARAM page);

    bool m_bFilling : 1;          // a fill or Check/Uncheck runs: item changes are not reported
    bool m_bSortDescending : 1;
    int m_nMinTrackWidth;
    int m_nMinTrackHeight;
    int m_nLastMode;
    int m_nListTop;
    int m_nSortColumn;
    int m_nFrameHeight;
    bool m_bNoDetailPass : 1;
    CDlgListItem* m_pItems;
    int m_nItemCount;
    std::wstring m_strNoun;
    std::wstring m_strTitle;
    int m_nColumns;
    const TColumnDef* m_pColumns;
    int m_nModes;
    const TModeDef* m_pModes;
    CButton m_btnCheck;
    CComboBox m_cbMode;
    CListCtrl m_list;
    CStatic m_stStatus;

    // While the detail pass or the commit loop runs, rows and list-view rows are in use across
    // pumped messages: nothing may delete, re-list or re-sort them. Requests that would are dropped
    // (Refresh, Commit, Check/Uncheck, column sort) or held until the loop ends (mode, filter).
    bool IsBusy() const { return m_bBusy; }
    // The names the last commit refused so far (told to the user, and forgotten, when it ends).
    const TRefusedNames& RefusedNames() const { return m_refusedNames; }

protected:
    // Names the current commit ran nothing for: a page's CommitItem adds a row's name here when
    // it refuses to put it on a command line; the commit tells the user once its loop has ended.
    TRefusedNames m_refusedNames;

    // How many rows of the list view carry a check mark.
    int CountCheckedRows() const;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void OnBnClickedRefresh();
    void OnBnClickedCheck();
    void OnBnClickedCommit();
    void OnLvnItemchangedList(NMHDR* pNMHDR, LRESULT* pResult);
    void OnLvnColumnclickList(NMHDR* pNMHDR, LRESULT* pResult);
    bool OnTimer(UINT_PTR id);
    void OnSize();
    void OnCbnSelchangeMode();
    void OnEnChangeFilter();

private:
    class TBusyScope;

    void DeleteItems();
    // Item data of the combo box's current entry, -1 when there is none.
    int CurrentMode() const;
    // "Uncheck" unless row 0 is unchecked; an empty list answers no state and reads "Uncheck".
    void SetCheckCaption();

    bool m_bBusy = false;
    bool m_bRefillHeld = false;   // a mode change or filter refill arrived while busy
};
