// Descending label order for the rows a self-sorting list view is filled with.
#include "dialogs/SortedInsert.h"

#include <algorithm>

void OrderForSortedInsert(std::vector<TLabelledRow>& rows)
{
    std::stable_sort(rows.begin(), rows.end(), [](const TLabelledRow& a, const TLabelledRow& b) {
        return ::lstrcmpiW(a.label.c_str(), b.label.c_str()) > 0;
    });
}
