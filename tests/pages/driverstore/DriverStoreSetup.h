// Driver database keys and driver-store folders for the driver store tests: made in the test
// prefix's registry and under a test system folder, removed again when the setup ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace drvtest {

const wchar_t kSystemPath[] = L"SYSTEM\\DriverDatabase\\DriverInfFiles\\";
const wchar_t kDriversPath[] = L"DRIVERS\\DriverDatabase\\DriverInfFiles\\";

class DriverStoreSetup
{
public:
    // `systemFolder` ends in a backslash, as the application's system folder does.
    explicit DriverStoreSetup(const std::wstring& systemFolder) : m_system(systemFolder) {}
    ~DriverStoreSetup()
    {
        for (const std::wstring& key : m_keys)
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
        // Parents go only when nothing else is left under them (a key with subkeys is not deleted).
        for (const wchar_t* parent : {L"SYSTEM\\DriverDatabase\\DriverInfFiles", L"SYSTEM\\DriverDatabase",
                                      L"DRIVERS\\DriverDatabase\\DriverInfFiles", L"DRIVERS\\DriverDatabase", L"DRIVERS"})
            ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, parent);
        for (auto it = m_files.rbegin(); it != m_files.rend(); ++it)
            ::DeleteFileW(it->c_str());
        for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it)
            ::RemoveDirectoryW(it->c_str());
    }
    DriverStoreSetup(const DriverStoreSetup&) = delete;
    DriverStoreSetup& operator=(const DriverStoreSetup&) = delete;

    std::wstring Repository() const { return m_system + L"DriverStore\\FileRepository\\"; }

    // The key `base` + name with the value "Active" of the given type and bytes.
    bool AddKey(const wchar_t* base, const std::wstring& name, DWORD type, const void* data, DWORD bytes)
    {
        const std::wstring path = base + name;
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return false;
        m_keys.push_back(path);
        const bool ok = ::RegSetValueExW(key, L"Active", 0, type, static_cast<const BYTE*>(data), bytes) == ERROR_SUCCESS;
        ::RegCloseKey(key);
        return ok;
    }
    bool AddActive(const wchar_t* base, const std::wstring& name, const std::wstring& active)
    {
        return AddKey(base, name, REG_SZ, active.c_str(), static_cast<DWORD>((active.size() + 1) * sizeof(wchar_t)));
    }

    // A package folder of the repository holding files of the given sizes.
    bool AddFolder(const std::wstring& name, const std::vector<DWORD>& fileSizes)
    {
        if (!MakeFolder(m_system + L"DriverStore") || !MakeFolder(Repository()) || !MakeFolder(Repository() + name))
            return false;
        for (size_t i = 0; i < fileSizes.size(); ++i)
        {
            const std::wstring path = Repository() + name + L"\\f" + std::to_wstring(i) + L".bin";
            HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE)
                return false;
            m_files.push_back(path);
            std::vector<char> bytes(fileSizes[i], 'x');
            DWORD written = 0;
            const bool ok = fileSizes[i] == 0 ||
                            (::WriteFile(file, bytes.data(), fileSizes[i], &written, nullptr) && written == fileSizes[i]);
            ::CloseHandle(file);
            if (!ok)
                return false;
        }
        return true;
    }

    // Sets a folder's creation time (UTC); false where the file system keeps none. Under Wine the
    // creation time follows the last-write time, so both are set.
    bool SetCreated(const std::wstring& name, WORD year, WORD month, WORD day, WORD hour, WORD minute)
    {
        SYSTEMTIME st = {};
        st.wYear = year;
        st.wMonth = month;
        st.wDay = day;
        st.wHour = hour;
        st.wMinute = minute;
        FILETIME ft = {};
        if (!::SystemTimeToFileTime(&st, &ft))
            return false;
        const std::wstring path = Repository() + name;
        HANDLE dir = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (dir == INVALID_HANDLE_VALUE)
            return false;
        const bool set = ::SetFileTime(dir, &ft, nullptr, &ft) != FALSE;
        ::CloseHandle(dir);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        return set && ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
               ::CompareFileTime(&data.ftCreationTime, &ft) == 0;
    }

private:
    bool MakeFolder(const std::wstring& path)
    {
        if (::CreateDirectoryW(path.c_str(), nullptr))
        {
            m_folders.push_back(path);
            return true;
        }
        return ::GetLastError() == ERROR_ALREADY_EXISTS;
    }

    std::wstring m_system;
    std::vector<std::wstring> m_keys, m_files, m_folders;
};

} // namespace drvtest
