// Page buffer: appends into individually committed pages, copies byte ranges out.
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
}

TPageBuffer::TPageBuffer()
{
    m_Pages.m_nElemSize = static_cast<int>(sizeof(void*));
    m_Pages.m_nGrowStep = 4;
    if (g_nPageSize == 0)
    {
        SYSTEM_INFO si;
        ::GetSystemInfo(&si);
        g_nPageSize = static_cast<int>(si.dwPageSize);
    }
}

TPageBuffer::~TPageBuffer()
{
    for (int i = 0; i < m_Pages.m_nCount; ++i)
    {
        if (void* page = PageAt(m_Pages, i))
            ::VirtualFree(page, 0, MEM_RELEASE);
    }
    m_nBytes = 0;
    m_Pages.Clear();
}

void* TPageBuffer::CommitPage()
{
    if (s_pfnAllowCommit != nullptr && !s_pfnAllowCommit())
        return nullptr;
    return ::VirtualAlloc(nullptr, static_cast<SIZE_T>(g_nPageSize), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
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
            page = CommitPage();
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

    // Roll back: release the pages this call committed and drop their elements, including one whose
    // commit was refused (it still reads as a null address).
    for (int i = pagesBefore; i < m_Pages.m_nCount; ++i)
    {
        if (void* page = PageAt(m_Pages, i))
            ::VirtualFree(page, 0, MEM_RELEASE);
    }
    if (m_Pages.m_nCount > pagesBefore)
        m_Pages.Remove(m_Pages.m_nCount - pagesBefore);
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
