// Capability rows: the detail query, its parser, the size text and the row's columns and order.
#include "pages/capabilities/DlgSysCapsOnDemandItem.h"
#include "app/App.h"
#include "dialogs/DlgList.h"
#include "framework/Controls.h"
#include "textutil/ByteSize.h"

#include <cwchar>
#include <limits>

namespace {

const wchar_t kDetailsCommand[] = L"dism /online /get-capabilityinfo /capabilityname=";
const wchar_t kDetailsTail[] = L" /english";
const wchar_t kStateKey[] = L"State : ";
const int kStateKeyLength = 8;
const wchar_t kDownloadKey[] = L"Download Size : ";
const int kDownloadKeyLength = 16;
const wchar_t kInstallKey[] = L"Install Size : ";
const int kInstallKeyLength = 15;
const wchar_t kInstalled[] = L"Installed";

// Real identities are well under a hundred characters; a longer one is not an identity.
const size_t kMaxIdentityLength = 256;

const uint64_t kMaxSize = std::numeric_limits<uint64_t>::max();

// A value may still carry blanks at its end when it is the last line of a text no CR ends.
void TrimBlanks(std::wstring& text)
{
    const size_t last = text.find_last_not_of(L" \t");
    if (last == std::wstring::npos)
        text.clear();
    else
        text.erase(last + 1);
    const size_t first = text.find_first_not_of(L" \t");
    text.erase(0, first);
}

// v * numerator / 25, held at the largest value when the product leaves 64 bits.
uint64_t Scale(uint64_t v, uint64_t numerator)
{
    if (v > kMaxSize / numerator)
        return kMaxSize;
    return v * numerator / 25;
}

int CompareUnsigned(uint64_t a, uint64_t b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

uint64_t ParseSizeText(const std::wstring& text)
{
    uint64_t v = 0;
    for (wchar_t c : text)
    {
        if (c < L'0' || c > L'9')
            continue;
        const unsigned digit = static_cast<unsigned>(c - L'0');
        if (v > (kMaxSize - digit) / 10)
            return kMaxSize;
        v = v * 10 + digit;
    }
    if (text.size() < 2)
        return v;
    // The two decimals make the digits hundredths of the unit: 1024/100 is 256/25.
    switch (text[text.size() - 2])
    {
    case L'K':
        return Scale(v, 256);
    case L'M':
        return Scale(v, 262144);
    case L'G':
        return Scale(v, 268435456);
    default:
        return v;
    }
}

bool IsCapabilityNameSafe(const std::wstring& identity)
{
    if (identity.empty() || identity.size() > kMaxIdentityLength)
        return false;
    for (wchar_t c : identity)
    {
        const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
        const bool digit = c >= L'0' && c <= L'9';
        if (!letter && !digit && c != L'.' && c != L'~' && c != L'-' && c != L'_')
            return false;
    }
    return true;
}

bool CommandIdentity(const std::wstring& name, std::wstring& identity)
{
    identity = name;
    while (!identity.empty() && (identity.back() == L' ' || identity.back() == L'\t'))
        identity.pop_back();
    return IsCapabilityNameSafe(identity);
}

CDlgSysCapsOnDemandItem::CDlgSysCapsOnDemandItem(CDlgListItem** ppHead)
    : CDlgListItem(ppHead), m_bInstalled(false), m_nDownloadSize(0), m_nInstallSize(0)
{
}

CDlgSysCapsOnDemandItem::~CDlgSysCapsOnDemandItem() = default;

void CDlgSysCapsOnDemandItem::LoadDetails(CDlgList*)
{
    // A row whose name cannot go on a command line is asked nothing: it stays as after a query
    // that printed nothing.
    std::wstring identity;
    if (!CommandIdentity(m_strKey, identity))
        return;
    // A failed, silent or overdue query leaves the reader empty and the row as it was.
    TLineReader reader;
    CDlgList::RunSilent(&reader, theApp.m_strDismPath, kDetailsCommand + identity + kDetailsTail);
    ParseDetails(reader);
}

void CDlgSysCapsOnDemandItem::ParseDetails(TLineReader& reader)
{
    // Each search goes on after the line the previous one found, as the tool prints them.
    std::wstring value;
    if (reader.FindLine(kStateKey, kStateKeyLength, nullptr, 0))
    {
        reader.GetValue(value, kStateKeyLength, 0);
        TrimBlanks(value);
        m_bInstalled = _wcsicmp(value.c_str(), kInstalled) == 0;
    }
    if (reader.FindLine(kDownloadKey, kDownloadKeyLength, nullptr, 0))
    {
        reader.GetValue(value, kDownloadKeyLength, 0);
        TrimBlanks(value);
        m_nDownloadSize = ParseSizeText(value);
    }
    if (reader.FindLine(kInstallKey, kInstallKeyLength, nullptr, 0))
    {
        reader.GetValue(value, kInstallKeyLength, 0);
        TrimBlanks(value);
        m_nInstallSize = ParseSizeText(value);
    }
}

int CDlgSysCapsOnDemandItem::Compare(int column, CDlgListItem* other)
{
    const CDlgSysCapsOnDemandItem* o = static_cast<const CDlgSysCapsOnDemandItem*>(other);
    switch (column)
    {
    case 0:
    {
        const int order = _wcsicmp(m_strKey.c_str(), o->m_strKey.c_str());
        return order < 0 ? -1 : (order > 0 ? 1 : 0);
    }
    case 1:
        return m_bInstalled == o->m_bInstalled ? 0 : (m_bInstalled ? 1 : -1);
    case 2:
        return CompareUnsigned(m_nDownloadSize, o->m_nDownloadSize);
    case 3:
        return CompareUnsigned(m_nInstallSize, o->m_nInstallSize);
    default:
        return 0;
    }
}

void CDlgSysCapsOnDemandItem::GetLabel(std::wstring& out)
{
    out = m_strKey;
}

void CDlgSysCapsOnDemandItem::ResetDetails()
{
    m_strKey.clear();
    m_bInstalled = false;
    m_nDownloadSize = 0;
    m_nInstallSize = 0;
}

void CDlgSysCapsOnDemandItem::FillRow(CListCtrl* list, int row)
{
    std::wstring text;
    list->SetItemText(row, 1, m_bInstalled ? L"Installed" : L"Not Present");
    FormatByteSize(text, m_nDownloadSize);
    list->SetItemText(row, 2, text.c_str());
    FormatByteSize(text, m_nInstallSize);
    list->SetItemText(row, 3, text.c_str());
}
