// Inventory texts as the store cmdlets print them, built from key and value pairs, and the rows
// a parse gives back in record order.
#pragma once

#include "dialogs/DlgListItem.h"

#include <string>
#include <utility>
#include <vector>

namespace storeapps {

typedef std::vector<std::pair<std::string, std::string>> Pairs;

// "Key<blanks>: value" with the colon in column `width - 2`. A value of "\x01" leaves the line
// ending right after the key's ": ".
inline std::string KeyLine(const std::string& key, const std::string& value, size_t width)
{
    std::string line = key;
    if (line.size() < width - 2)
        line.append(width - 2 - line.size(), ' ');
    line += ": ";
    if (value != "\x01")
        line += value;
    return line;
}

// One record: its key lines, each ended by CR LF (continuation lines are given with an empty key
// and written as they are).
inline std::string Record(const Pairs& pairs, size_t width)
{
    std::string text;
    for (const auto& p : pairs)
        text += (p.first.empty() ? p.second : KeyLine(p.first, p.second, width)) + "\r\n";
    return text;
}

// An inventory as printed: a blank line before every record, two blank lines at the end.
inline std::string Inventory(const std::vector<Pairs>& records, size_t width)
{
    std::string text;
    for (const Pairs& r : records)
        text += "\r\n" + Record(r, width);
    return text + "\r\n\r\n";
}

inline std::wstring Wide(const std::string& bytes)
{
    // The command window widens every byte to one unit; these texts are plain ASCII.
    return std::wstring(bytes.begin(), bytes.end());
}

// Rows of a list in the order their records came (the list runs the other way).
template <class Row>
std::vector<Row*> InRecordOrder(CDlgListItem* head)
{
    std::vector<Row*> rows;
    for (CDlgListItem* item = head; item != nullptr; item = item->m_pNext)
        rows.insert(rows.begin(), static_cast<Row*>(item));
    return rows;
}

// Owns a parsed list and deletes it the way the page does.
struct RowList
{
    CDlgListItem* head = nullptr;
    RowList() = default;
    RowList(const RowList&) = delete;
    RowList& operator=(const RowList&) = delete;
    ~RowList() { Clear(); }
    void Clear()
    {
        while (head != nullptr)
        {
            CDlgListItem* next = head->m_pNext;
            delete head;
            head = next;
        }
    }
};

// A realistic installed-package record; fields can be replaced or dropped by the caller.
inline Pairs AppRecord(const std::string& name, const std::string& version, const std::string& arch,
                       const std::string& publisherId, const std::string& deps = "{}")
{
    const std::string full = name + "_" + version + "_" + arch + "__" + publisherId;
    return Pairs{
        {"Name", name},
        {"Publisher", "CN=Maker Corporation, O=Maker Corporation, L=City, S=State, C=US"},
        {"Architecture", arch},
        {"ResourceId", ""},
        {"Version", version},
        {"PackageFullName", full},
        {"InstallLocation", "C:\\Program Files\\WindowsApps\\" + full},
        {"IsFramework", "False"},
        {"PackageFamilyName", name + "_" + publisherId},
        {"PublisherId", publisherId},
        {"PackageUserInformation", "{S-1-5-21-1000 [user]: Installed}"},
        {"IsResourcePackage", "False"},
        {"IsBundle", "False"},
        {"IsDevelopmentMode", "False"},
        {"NonRemovable", "False"},
        {"Dependencies", deps},
        {"IsPartiallyStaged", "False"},
        {"SignatureKind", "Store"},
        {"Status", "Ok"},
    };
}

// The package's full name ("PackageFullName", or "PackageName" of a provisioned package).
inline std::string FullNameOf(const Pairs& record)
{
    for (const auto& p : record)
        if (p.first == "PackageFullName" || p.first == "PackageName")
            return p.second;
    return std::string();
}

inline void Set(Pairs& record, const std::string& key, const std::string& value)
{
    for (auto& p : record)
        if (p.first == key)
        {
            p.second = value;
            return;
        }
    record.emplace_back(key, value);
}

inline void Drop(Pairs& record, const std::string& key)
{
    for (size_t i = 0; i < record.size(); ++i)
        if (record[i].first == key)
        {
            record.erase(record.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
}

inline Pairs ProvisionedRecord(const std::string& display, const std::string& version, const std::string& arch)
{
    return Pairs{
        {"DisplayName", display},
        {"Version", version},
        {"Architecture", arch},
        {"ResourceId", "~"},
        {"PackageName", display + "_" + version + "_" + arch + "_~_8wekyb3d8bbwe"},
        {"Regions", "\x01"},
    };
}

const size_t kAppWidth = 25;
const size_t kProvisionedWidth = 15;

} // namespace storeapps
