// The simulated file system and shell: files and folders (paths compare
// without regard to case), the shell's copy with its wildcards, folder
// creation, the shell-link object that saves shortcuts, and launching a
// program.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Shell.h"
#include "tests/sim/SimCallRecord.h"
#include "tests/sim/SimProcess.h"

class SimFiles : public IShell {
public:
    SimFiles(SimCallRecord& record, SimProcess& process);

    // The folder that relative paths start from: setup's own.
    std::string currentDirectory = "C:\\Package";

    void AddFile(const std::string& path, const std::string& content = "");
    void AddFolder(const std::string& path);
    bool FileExists(const std::string& path) const;
    bool FolderExists(const std::string& path) const;
    std::string FileContent(const std::string& path) const;
    std::vector<std::string> FilesIn(const std::string& folder) const;  // file names, sorted
    std::string Absolute(const std::string& path) const;
    // A UTF-16 name as the A forms of the file operations see it: in the
    // machine's ANSI code page. The call record shows the UTF-16 as UTF-8.
    std::string AnsiName(PCWSTR name) const;
    // Writes a file into an existing folder; false when the folder is missing.
    bool WriteFile(const std::string& path, const std::string& content);

    // Folders whose files cannot be written (a read-only medium, a folder
    // without write access for the administrator either).
    void MakeReadOnly(const std::string& folder);

    // Programs started through the shell, by path.
    std::vector<std::string> launched;
    bool comInitialised = false;
    // Shell-link objects created and not released to their last reference.
    int liveLinks = 0;

    int SHFileOperationA(SHFILEOPSTRUCTA* lpFileOp) override;
    int SHCreateDirectory(HWND hwnd, PCWSTR pszPath) override;
    BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) override;
    HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                            LPCSTR lpDirectory, INT nShowCmd) override;
    HRESULT CoInitialize(LPVOID pvReserved) override;
    HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                             LPVOID* ppv) override;
    int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                            LPWSTR lpWideCharStr, int cchWideChar) override;

    SimCallRecord& record;

private:
    struct File {
        std::string path;
        std::string content;
    };
    int CopyMatches(const std::string& source, const std::string& destinationFolder);

    SimProcess& m_process;
    std::map<std::string, File> m_files;  // by lower-case path
    std::set<std::string> m_folders;      // lower-case paths
    std::set<std::string> m_readOnly;     // lower-case paths
};
