// Driving a checklist page through its controls: reading and ticking its list view, choosing a
// mode, clicking a column header, and acting on the page's own window once it is up.
#pragma once

#include "framework/Controls.h"
#include "resources/resource.h"

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

typedef std::vector<std::wstring> Texts;

// Registers the common control classes a page's dialog template names (list view, progress bar).
void InitListControls();

// Every checklist page shows its rows in IDC_LIST_ITEMS and its modes in IDC_CB_MODE; a page with
// its own template passes its control ids.

// The page's list view.
CListCtrl ListOf(HWND dlg, int listId = IDC_LIST_ITEMS);
// Number of rows the list view shows.
int Rows(HWND dlg, int listId = IDC_LIST_ITEMS);
// Texts of one column, top row first.
Texts Column(HWND dlg, int column, int listId = IDC_LIST_ITEMS);
// Texts of one row's first `columns` columns.
Texts RowTexts(HWND dlg, int row, int columns, int listId = IDC_LIST_ITEMS);
// Check box state of every row, top row first.
std::vector<bool> Checks(HWND dlg, int listId = IDC_LIST_ITEMS);
// Ticks or clears one row's check box.
void SetChecked(HWND dlg, int row, bool check, int listId = IDC_LIST_ITEMS);

// What a user's choice in the combo box sends: the new selection, then CBN_SELCHANGE. Fails the
// test when no entry has exactly that text.
void SelectMode(HWND dlg, const wchar_t* text, int comboId = IDC_CB_MODE);

// A click on a column header arrives at the list view as the header's HDN_ITEMCLICK.
void ClickColumn(HWND dlg, int column, int listId = IDC_LIST_ITEMS);

// Queues `action` for the page captioned `caption` and ends the page with IDOK when the action
// leaves. A page's progress window carries the page's caption, so a window without the list
// view goes back into the queue.
void OnListPage(const std::wstring& caption, std::function<void(HWND)> action, DWORD timeoutMs = 15000,
                int listId = IDC_LIST_ITEMS);

// Queues the check of the one message a commit shows for the names it refused to put on a command
// line: the names listed, one a line and quoted, are exactly `names` (control characters written
// as \xHH). The message is then closed with OK and `seen` set.
void ExpectRefusedNames(const Texts& names, bool* seen);

// Queues the check of the box that tells the user an action broke off with an exception and the
// program goes on; the box is closed with OK and `seen` set.
void ExpectErrorReport(bool* seen);

// Label sets that tell fill orders apart: many rows with one label (more than a sort does by
// insertion alone), letter-case twins, punctuation, digits, accents and empty labels.
std::vector<Texts> FillOrderCases();

// Item data of the list view's rows, top row first.
std::vector<LPARAM> ItemDataOrder(HWND list);

// The rows a sorted list view shows when it is given (label, item data) pairs one by one, each
// inserted at index 0, in the order given: item data top row first.
std::vector<LPARAM> OneByOneFillOrder(const std::vector<std::pair<std::wstring, LPARAM>>& rows);

} // namespace testsupport
