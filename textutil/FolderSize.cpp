// GetFolderSizeOnDisk: recursive directory listing with cluster rounding.
#include "textutil/FolderSize.h"

#include <windows.h>

namespace {

bool IsDotEntry(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

} // namespace

bool GetFolderSizeOnDisk(uint64_t& size, const std::wstring& folder, uint32_t clusterSize)
{
    size = 0;
    WIN32_FIND_DATAW fd;
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    uint64_t total = 0;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (IsDotEntry(fd.cFileName) || (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            uint64_t sub = 0;
            if (GetFolderSizeOnDisk(sub, folder + L"\\" + fd.cFileName, clusterSize))
                total += sub;
            continue;
        }
        uint64_t fileSize = (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
        if (clusterSize > 511) {
            const uint64_t rest = fileSize % clusterSize;
            if (rest != 0)
                fileSize += clusterSize - rest;
        }
        total += fileSize;
    } while (::FindNextFileW(find, &fd));
    // Only the normal end of the listing counts as done; a listing that broke off
    // would report part of the folder as its whole size.
    const DWORD error = ::GetLastError();
    ::FindClose(find);
    if (error != ERROR_NO_MORE_FILES)
        return false;
    size = total;
    return true;
}
