// Page buffer: appends into pages committed one by one inside large reservations, copies byte ranges out.
#include "runner/PageBuffer.h"

#include <windows.h>

#include <climits>
#include <cstring>

int g_nPageSize = 0;

bool (*TPageBuffer::s_pfnAllowCommit)() = nullptr;

namespace
{
void* PageAt(const TRecArray& pages, int index)
{
    void* const* slot = static_cast<void* const*>(pages.GetAt(index));
    return slot ? *slot : nullptr;
}

// The page is pinned in physical memory only for the length of one copy into or out of it.
class TPageLock
{
public:
    explicit TPageLock(void* page) : m_page(page), m_ok(::VirtualLock(page, g_nPageSize) != FALSE) {}
    ~TPageLock()
    {
        if (m_ok)
            ::VirtualUnlock(m_page, g_nPageSize);
    }
    TPageLock(const TPageLock&) = delete;
    TPageLock& operator=(const TPageLock&) = delete;
    bool Locked() const { return m_ok; }

private:
    void* m_page;
    bool m_ok;
};

// Address space is reserved in regions of many pages, and each page is committed inside its region
// when its first byte arrives. A reservation always takes whole units of the allocation granularity
// (64 KiB on Windows), so one reservation per 4 KiB page would leave 15/16 of the address space it
// takes unusable, and every reservation is a mapping of its own, of which a process has a limited
// number.
//
// Each new region is as large as all earlier ones together (never below one granularity unit): a
// small output takes a handful of reservations, and the reserved but unused tail never exceeds the
// pages already in use (or one granularity unit), so address space per captured byte stays within
// twice the bytes for small outputs and tends to the bytes themselves for large ones. The cap bounds that unused tail for large
// outputs (8 MiB is 0.4% of a 32-bit process's 2 GiB) and keeps a region small enough for a
// fragmented 32-bit address space to place; when even that fails, ever smaller regions, down to one
// granularity unit, take the holes that remain before the append gives up.
const int kRegionCapBytes = 8 << 20;

// Address space a capture leaves to the rest of the program, so that it keeps working when a tool
// prints more than a 32-bit process can hold: thread stacks and their exit, DLLs loaded later (a
// message box), the owners' copies of the output (a poll's worth of bytes and its UTF-16 text in the
// command window). Under Wine a 32-bit process whose address space was used up to the last unit could
// not even end a thread cleanly. 256 MiB is an eighth of a 32-bit process's space; a 64-bit process
// never comes near it. It is tested by taking it for a moment in pieces of 4 MiB (a thread stack or a
// DLL needs no more in one piece), since the system's count of free address space is not reliable
// everywhere (Wine reports a fixed number).
const int kKeepFreePieces = 64;
const SIZE_T kKeepFreePiece = 4u << 20;

bool RoomLeftForTheRest()
{
    void* held[kKeepFreePieces];
    int n = 0;
    while (n < kKeepFreePieces)
    {
        held[n] = ::VirtualAlloc(nullptr, kKeepFreePiece, MEM_RESERVE, PAGE_NOACCESS);
        if (held[n] == nullptr)
            break;
        ++n;
    }
    for (int i = 0; i < n; ++i)
        ::VirtualFree(held[i], 0, MEM_RELEASE);
    return n == kKeepFreePieces;
}

int RegionMinPages(int ps)
{
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    const int unit = static_cast<int>(si.dwAllocationGranularity) / ps;
    return unit > 0 ? unit : 1;
}
}

TPageBuffer::TPageBuffer()
{
    m_Pages.m_nElemSize = static_cast<int>(sizeof(void*));
    m_Pages.m_nGrowStep = 4;
    m_Regions.m_nElemSize = static_cast<int>(sizeof(TRegion));
    m_Regions.m_nGrowStep = 16;
    if (g_nPageSize == 0)
    {
        SYSTEM_INFO si;
        ::GetSystemInfo(&si);
        g_nPageSize = static_cast<int>(si.dwPageSize);
    }
}

TPageBuffer::~TPageBuffer()
{
    // Releasing a region releases every page committed in it.
    for (int i = 0; i < m_Regions.m_nCount; ++i)
        ::VirtualFree(static_cast<TRegion*>(m_Regions.GetAt(i))->pBase, 0, MEM_RELEASE);
    m_Regions.Clear();
    m_nBytes = 0;
    m_Pages.Clear();
}

TPageBuffer::TRegion* TPageBuffer::LastRegion() const
{
    return static_cast<TRegion*>(m_Regions.GetAt(m_Regions.m_nCount - 1));
}

TPageBuffer::TRegion* TPageBuffer::ReserveRegion(int firstPage)
{
    const int ps = g_nPageSize;
    const int minPages = RegionMinPages(ps);
    int capPages = kRegionCapBytes / ps / minPages * minPages;
    if (capPages < minPages)
        capPages = minPages;
    // As large as everything before it: firstPage is the number of pages the earlier regions hold.
    int pages = firstPage < minPages ? minPages : (firstPage > capPages ? capPages : firstPage);
    pages = (pages + minPages - 1) / minPages * minPages;

    // Once the rest of the program's share was reached, the buffer takes no more: probing again at
    // every later read would cost far more than the read.
    if (m_bNoRoom)
        return nullptr;
    void* base = nullptr;
    for (;;)
    {
        base = ::VirtualAlloc(nullptr, static_cast<SIZE_T>(pages) * static_cast<SIZE_T>(ps), MEM_RESERVE,
                              PAGE_READWRITE);
        if (base != nullptr || pages <= minPages)
            break;
        pages = pages / 2 / minPages * minPages;
        if (pages < minPages)
            pages = minPages;
    }
    if (base == nullptr)
        return nullptr;
    if (!RoomLeftForTheRest())
    {
        ::VirtualFree(base, 0, MEM_RELEASE);
        m_bNoRoom = true;
        return nullptr;
    }
    TRegion* region = static_cast<TRegion*>(m_Regions.Add());
    if (region == nullptr)
    {
        ::VirtualFree(base, 0, MEM_RELEASE);
        return nullptr;
    }
    region->pBase = static_cast<char*>(base);
    region->nFirstPage = firstPage;
    region->nPages = pages;
    return region;
}

void* TPageBuffer::CommitPage(int index)
{
    TRegion* region = LastRegion();
    if (region == nullptr || index >= region->nFirstPage + region->nPages)
        region = ReserveRegion(index);
    if (region == nullptr)
        return nullptr;
    if (s_pfnAllowCommit != nullptr && !s_pfnAllowCommit())
        return nullptr;
    char* page = region->pBase + static_cast<size_t>(index - region->nFirstPage) * static_cast<size_t>(g_nPageSize);
    return ::VirtualAlloc(page, static_cast<SIZE_T>(g_nPageSize), MEM_COMMIT, PAGE_READWRITE);
}

bool TPageBuffer::Append(const void* bytes, int count)
{
    if (count <= 0 || bytes == nullptr)
        return true;
    // The count is a signed 32-bit number; bytes it could not count are refused, not wrapped.
    if (count > INT_MAX - m_nBytes)
        return false;

    const int ps = g_nPageSize;
    const int bytesBefore = m_nBytes;
    const int pagesBefore = m_Pages.m_nCount;
    const char* src = static_cast<const char*>(bytes);
    int remaining = count;
    bool ok = true;

    while (remaining > 0)
    {
        const int index = m_nBytes / ps;
        const int offset = m_nBytes % ps;
        void* page = nullptr;
        if (offset == 0)
        {
            void** slot = static_cast<void**>(m_Pages.Add());
            if (slot == nullptr)
            {
                ok = false;
                break;
            }
            page = CommitPage(index);
            *slot = page;
        }
        else
        {
            page = PageAt(m_Pages, index);
        }
        if (page == nullptr)
        {
            ok = false;
            break;
        }
        const int chunk = remaining < ps - offset ? remaining : ps - offset;
        {
            TPageLock lock(page);
            if (!lock.Locked())
            {
                ok = false;
                break;
            }
            std::memcpy(static_cast<char*>(page) + offset, src, static_cast<size_t>(chunk));
        }
        m_nBytes += chunk;
        src += chunk;
        remaining -= chunk;
    }
    if (ok)
        return true;

    // Roll back: decommit the pages this call committed and drop their elements, including one whose
    // commit was refused (it still reads as a null address); then release the regions this call
    // reserved, none of which holds a page any more. Regions that hold earlier pages stay, and the
    // next append commits into them again.
    for (int i = pagesBefore; i < m_Pages.m_nCount; ++i)
    {
        if (void* page = PageAt(m_Pages, i))
            ::VirtualFree(page, static_cast<SIZE_T>(ps), MEM_DECOMMIT);
    }
    if (m_Pages.m_nCount > pagesBefore)
        m_Pages.Remove(m_Pages.m_nCount - pagesBefore);
    int emptyRegions = 0;
    for (int r = m_Regions.m_nCount - 1; r >= 0; --r)
    {
        const TRegion* region = static_cast<const TRegion*>(m_Regions.GetAt(r));
        if (region->nFirstPage < pagesBefore)
            break;
        ::VirtualFree(region->pBase, 0, MEM_RELEASE);
        ++emptyRegions;
    }
    if (emptyRegions > 0)
        m_Regions.Remove(emptyRegions);
    m_nBytes = bytesBefore;
    return false;
}

bool TPageBuffer::CopyOut(TVoid* out, int offset, int count) const
{
    if (out == nullptr || offset < 0 || offset >= m_nBytes)
        return false;
    out->SetSize(0);

    const int ps = g_nPageSize;
    const int rest = m_nBytes - offset;
    const int n = (count > 0 && count < rest) ? count : rest;
    // The target takes its exact final size once. Growing it page by page would reallocate (and
    // so copy) everything already copied at every page: quadratic in the output, and all of it
    // while the caller holds the runner's lock, which the worker then waits for.
    if (!out->SetSize(n))
    {
        out->SetSize(0);
        return false;
    }
    char* dest = static_cast<char*>(out->m_pData);
    int done = 0;
    while (done < n)
    {
        void* page = PageAt(m_Pages, offset / ps);
        const int pos = offset % ps;
        const int chunk = (n - done) < ps - pos ? (n - done) : ps - pos;
        bool copied = false;
        if (page != nullptr)
        {
            TPageLock lock(page);
            if (lock.Locked())
            {
                std::memcpy(dest + done, static_cast<char*>(page) + pos, static_cast<size_t>(chunk));
                copied = true;
            }
        }
        if (!copied)
        {
            out->SetSize(0);
            return false;
        }
        offset += chunk;
        done += chunk;
    }
    return true;
}
