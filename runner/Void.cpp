// Memory block and record array.
#include "runner/Void.h"

#include <windows.h>

#include <climits>
#include <cstdlib>
#include <cstring>

void* TVoid::Alloc(int size)
{
    return std::malloc(static_cast<size_t>(size));
}

void* TVoid::Realloc(void* memory, int size)
{
    return std::realloc(memory, static_cast<size_t>(size));
}

void TVoid::Free(void* memory)
{
    std::free(memory);
}

TVoid::~TVoid()
{
    ReleaseMemory();
}

void TVoid::ReleaseMemory()
{
    // Kept memory of a cleared small block counts as ours too.
    if (!(m_bNotOwned & NOT_OWNED) && m_pData != nullptr)
        Free(m_pData);
    m_bNotOwned &= static_cast<uint8_t>(~NOT_OWNED);
    m_nSize = 0;
    m_pData = nullptr;
}

bool TVoid::Resize(void** memory, int size)
{
    if (memory == nullptr)
        return false;
    if (size > 0)
    {
        void* p = (*memory != nullptr) ? Realloc(*memory, size) : Alloc(size);
        if (p == nullptr)
            return false;
        *memory = p;
        return true;
    }
    if (*memory != nullptr)
        Free(*memory);
    *memory = nullptr;
    return true;
}

bool TVoid::SetSize(int size)
{
    if (size < 0 || (m_bNotOwned & NOT_OWNED))
        return false;
    if (size == 0 && m_nSize < KEEP_BELOW)
    {
        // A small block emptied and refilled again and again reuses its memory.
        m_nSize = 0;
        return true;
    }
    if (size == m_nSize)
        return true;
    if (!Resize(&m_pData, size))
        return false;
    m_nSize = size;
    return true;
}

std::wstring TVoid::ToAnsiText() const
{
    const char* data = static_cast<const char*>(m_pData);
    int length = m_nSize;
    if (data == nullptr || length <= 0)
        return std::wstring();
    if (const void* zero = std::memchr(data, 0, static_cast<size_t>(length)))
        length = static_cast<int>(static_cast<const char*>(zero) - data);
    if (length == 0)
        return std::wstring();
    const int units = ::MultiByteToWideChar(CP_THREAD_ACP, 0, data, length, nullptr, 0);
    if (units <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, data, length, &text[0], units);
    return text;
}

std::wstring TVoid::ToText() const
{
    if (m_pData == nullptr || m_nSize <= 0)
        return std::wstring();
    const unsigned char* bytes = static_cast<const unsigned char*>(m_pData);
    const void* zero = std::memchr(bytes, 0, static_cast<size_t>(m_nSize));
    const size_t len = zero ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - bytes)
                            : static_cast<size_t>(m_nSize);
    std::wstring text(len, L'\0');
    for (size_t i = 0; i < len; ++i)
        text[i] = static_cast<wchar_t>(bytes[i]);
    return text;
}

TRecArray::~TRecArray()
{
    Clear();
    // m_Storage's own destructor frees what a small cleared storage kept.
}

void* TRecArray::Add()
{
    if (m_nElemSize <= 0 || m_nGrowStep <= 0)
        return nullptr;
    if (m_nCount >= INT_MAX)
        return nullptr;
    if (m_nCount + 1 > m_nCapacity)
    {
        const long long capacity = (static_cast<long long>(m_nCount) / m_nGrowStep + 1) * m_nGrowStep;
        const long long bytes = capacity * m_nElemSize;
        // A storage size the block cannot express is a refusal like any other.
        if (capacity > INT_MAX || bytes > INT_MAX)
            return nullptr;
        if (!m_Storage.SetSize(static_cast<int>(bytes)))
            return nullptr;
        m_nCapacity = static_cast<int>(capacity);
    }
    void* elem = static_cast<char*>(m_Storage.m_pData) + static_cast<size_t>(m_nCount) * m_nElemSize;
    ++m_nCount;
    std::memset(elem, 0, static_cast<size_t>(m_nElemSize));
    return elem;
}

bool TRecArray::Remove(int n)
{
    if (m_Storage.m_nSize == 0)
        return false;
    if (n <= 0)
        return true;
    if (n >= m_nCount)
    {
        Clear();
        return true;
    }
    const int oldCount = m_nCount;
    m_nCount -= n;
    if (m_nGrowStep > 0)
    {
        const int spare = m_nCapacity - m_nCount;
        if (spare >= m_nGrowStep)
        {
            const int capacity = m_nCapacity - m_nGrowStep * (spare / m_nGrowStep);
            // A refused shrink only leaves the storage larger than needed.
            if (m_Storage.SetSize(capacity * m_nElemSize))
                m_nCapacity = capacity;
        }
    }
    const int end = oldCount < m_nCapacity ? oldCount : m_nCapacity;
    if (end > m_nCount)
    {
        std::memset(static_cast<char*>(m_Storage.m_pData) + static_cast<size_t>(m_nCount) * m_nElemSize, 0,
                    static_cast<size_t>(end - m_nCount) * m_nElemSize);
    }
    return true;
}

void* TRecArray::GetAt(int index) const
{
    if (index < 0 || index >= m_nCount || m_Storage.m_nSize == 0 || m_Storage.m_pData == nullptr)
        return nullptr;
    return static_cast<char*>(m_Storage.m_pData) + static_cast<size_t>(index) * m_nElemSize;
}

void TRecArray::Clear()
{
    m_nCount = 0;
    m_nCapacity = 0;
    m_Storage.SetSize(0);
}
