// The order in which rows are handed to a list view that sorts itself by label (LVS_SORTASCENDING).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TLabelledRow
{
    std::wstring label;   // the row's first-column text
    LPARAM data;          // what the list-view row will carry as its item data
};

// Puts the rows in descending order of their labels, compared as the list view compares them
// (ignoring case, in the user's locale), keeping rows with equal labels in the order given.
//
// A sorted list view places a row inserted at index 0 by scanning its rows from the top, so rows
// in the order they are held cost about n*n/4 comparisons; in descending order each scan stops at
// the first row. Where the rows land is still the list view's decision, and it is the same either
// way: the control keeps its rows in ascending order and puts a row before those equal to it, so
// only the relative order of rows it finds equal depends on the order of insertion, and a stable
// sort by this comparison keeps that order (rows equal to the control are equal here too, also
// where the control tells letter case apart).
void OrderForSortedInsert(std::vector<TLabelledRow>& rows);
