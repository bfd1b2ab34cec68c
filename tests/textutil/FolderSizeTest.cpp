// GetFolderSizeOnDisk on real folder trees made under the Windows temp folder.
#include "textutil/FolderSize.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

class FolderSizeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
        m_root = std::wstring(temp) + L"vantrel_foldersize_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                 std::to_wstring(::GetTickCount());
        ASSERT_TRUE(::CreateDirectoryW(m_root.c_str(), nullptr)) << ::GetLastError();
    }

    void TearDown() override { RemoveTree(m_root); }

    std::wstring MakeDir(const std::wstring& relative)
    {
        const std::wstring path = m_root + L"\\" + relative;
        EXPECT_TRUE(::CreateDirectoryW(path.c_str(), nullptr)) << ::GetLastError();
        return path;
    }

    // A file of exactly `size` bytes; sizes beyond 4 GiB are set, not written.
    void MakeFile(const std::wstring& relative, uint64_t size, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
    {
        const std::wstring path = m_root + L"\\" + relative;
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << ::GetLastError();
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        EXPECT_TRUE(::SetFilePointerEx(h, end, nullptr, FILE_BEGIN));
        EXPECT_TRUE(::SetEndOfFile(h)) << ::GetLastError();
        ::CloseHandle(h);
    }

    static void RemoveTree(const std::wstring& folder)
    {
        WIN32_FIND_DATAW fd;
        HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = fd.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                const std::wstring path = folder + L"\\" + name;
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    RemoveTree(path);
                else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    ::RemoveDirectoryW(path.c_str());
                else
                    ::DeleteFileW(path.c_str());
            } while (::FindNextFileW(find, &fd));
            ::FindClose(find);
        }
        ::RemoveDirectoryW(folder.c_str());
    }

    uint64_t SizeOf(const std::wstring& folder, uint32_t cluster)
    {
        uint64_t size = 0xDEADBEEF;
        EXPECT_TRUE(GetFolderSizeOnDisk(size, folder, cluster));
        return size;
    }

    std::wstring m_root;
};

} // namespace

TEST_F(FolderSizeTest, FilesRoundUpToClustersAbove511Bytes)
{
    MakeFile(L"one", 1);
    MakeFile(L"exact", 4096);
    MakeFile(L"over", 4097);
    EXPECT_EQ(16384u, SizeOf(m_root, 4096));
    EXPECT_EQ(9216u, SizeOf(m_root, 512));
    EXPECT_EQ(8194u, SizeOf(m_root, 0));
    EXPECT_EQ(8194u, SizeOf(m_root, 511));
    MakeFile(L"empty", 0);   // an empty file takes no cluster
    EXPECT_EQ(16384u, SizeOf(m_root, 4096));
}

TEST_F(FolderSizeTest, SubfoldersHiddenFilesAndLargeFilesCount)
{
    MakeFile(L"top", 100);
    MakeDir(L"a");
    MakeFile(L"a\\f", 5000);
    MakeDir(L"a\\b");
    MakeFile(L"a\\b\\g", 1, FILE_ATTRIBUTE_HIDDEN);
    MakeFile(L"a\\b\\h", 8192, FILE_ATTRIBUTE_SYSTEM);
    MakeDir(L"a\\empty");
    EXPECT_EQ(4096u + 8192u + 4096u + 8192u, SizeOf(m_root, 4096));
    EXPECT_EQ(100u + 5000u + 1u + 8192u, SizeOf(m_root, 0));
    EXPECT_EQ(4096u + 8192u, SizeOf(m_root + L"\\a\\b", 4096));
    EXPECT_EQ(5000u + 1u + 8192u, SizeOf(m_root + L"\\a", 0));

    // The high part of a file's size counts: 5 GiB and one byte.
    MakeFile(L"a\\b\\big", (5ULL << 30) + 1);
    EXPECT_EQ((5ULL << 30) + 4096u + 4096u + 8192u, SizeOf(m_root + L"\\a\\b", 4096));
}

TEST_F(FolderSizeTest, EmptyAndMissingFolders)
{
    EXPECT_EQ(0u, SizeOf(m_root, 4096));
    uint64_t size = 12345;
    EXPECT_FALSE(GetFolderSizeOnDisk(size, m_root + L"\\missing", 4096));
    EXPECT_EQ(0u, size);
    // A file is no folder to list.
    MakeFile(L"plain", 10);
    size = 12345;
    EXPECT_FALSE(GetFolderSizeOnDisk(size, m_root + L"\\plain", 4096));
    EXPECT_EQ(0u, size);
}

TEST_F(FolderSizeTest, LinkedFoldersAreNotEntered)
{
    MakeFile(L"data", 10);
    MakeDir(L"sub");
    MakeFile(L"sub\\x", 20);
    // A link back to the root would count the tree over and over. Wine neither
    // makes directory links nor flags them, so this runs on Windows only.
    const std::wstring link = m_root + L"\\sub\\loop";
    const bool made = ::CreateSymbolicLinkW(link.c_str(), m_root.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) != FALSE;
    const DWORD attributes = ::GetFileAttributesW(link.c_str());
    if (!made || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ::RemoveDirectoryW(link.c_str());
        GTEST_SKIP() << "no flagged directory link could be made here";
    }
    EXPECT_EQ(30u, SizeOf(m_root, 0));
}
