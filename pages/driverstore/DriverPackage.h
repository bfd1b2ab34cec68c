// CDlgRepoDrvItem: one OEM driver package of the driver table, completed from the registry and
// its driver-store folder; and the reader of that table.
#pragma once

#include "textutil/LineReader.h"

#include <cstdint>
#include <string>

class CDlgRepoDrvItem
{
public:
    // An empty record; given the record before it, it links itself in as that record's next.
    explicit CDlgRepoDrvItem(CDlgRepoDrvItem* previous);
    // Does not touch the rest of the list: the owner takes m_pNext before deleting.
    ~CDlgRepoDrvItem();
    CDlgRepoDrvItem(const CDlgRepoDrvItem&) = delete;
    CDlgRepoDrvItem& operator=(const CDlgRepoDrvItem&) = delete;

    // Keeps the version text and packs its first four dot-separated numbers into m_nVersion.
    void SetVersion(const std::wstring& version);
    // Size on disk, size text and folder date from the driver database and the package folder.
    void ReadDriverStore();

    // Whether this package supersedes nothing but is superseded by `newer`: same INF name, type and
    // provider (ASCII case ignored), and a lower version, or the same version and an earlier date.
    bool IsSupersededBy(const CDlgRepoDrvItem& newer) const;

    // The number between "oem" and ".inf"; 0 without digits there or for names of 7 characters or
    // fewer. Absurdly long digit runs stop at the largest 32-bit value.
    static int32_t OemNumberOf(const std::wstring& publishedName);
    // True only for "oem", 1 to 10 digits and ".inf": the one form the driver table prints. Nothing
    // else goes into a registry path or a command line.
    static bool IsPublishedName(const std::wstring& name);
    // True for one plain folder name: no path separators, drive colon, wildcards or dot names,
    // and no trailing dot or blank.
    static bool IsStoreFolderName(const std::wstring& name);

    CDlgRepoDrvItem* m_pNext;
    uint64_t m_nVersion;
    int32_t m_nOemNumber;
    uint64_t m_nSizeOnDisk;
    std::wstring m_strInfName;
    std::wstring m_strVersion;
    std::wstring m_strType;
    std::wstring m_strProvider;
    std::wstring m_strSizeText;
    std::wstring m_strDate;
    std::wstring m_strPublishedName;
};

// Compares two texts ignoring the case of ASCII letters only: negative, 0 or positive.
int CompareTextNoCase(const std::wstring& first, const std::wstring& second);

// Reads the table of "dism /online /get-drivers /format:table /english" from the reader's current
// position: one record per row, in table order, each completed with ReadDriverStore. `head` gets
// the first record (null without rows). False when the text holds no header line.
bool ReadDriverTable(TLineReader& reader, CDlgRepoDrvItem*& head);

// Destroys a record list from its head.
void DeleteDriverList(CDlgRepoDrvItem* head);
