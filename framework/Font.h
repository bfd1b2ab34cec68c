// Owning font wrapper: deletes the font it holds.
#pragma once

#include <windows.h>

class CFont
{
public:
    CFont() = default;
    ~CFont() { DeleteObject(); }
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    operator HFONT() const { return m_hFont; }
    HFONT GetSafeHandle() const { return m_hFont; }

    bool Attach(HFONT font)
    {
        if (font == nullptr)
            return false;
        DeleteObject();
        m_hFont = font;
        return true;
    }
    bool DeleteObject()
    {
        if (m_hFont == nullptr)
            return false;
        ::DeleteObject(m_hFont);
        m_hFont = nullptr;
        return true;
    }

private:
    HFONT m_hFont = nullptr;
};
