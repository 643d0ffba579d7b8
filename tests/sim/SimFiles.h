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
    // A file that another process has open without sharing it (a driver's
    // plug-in that the spooler has loaded, a running program): it cannot be
    // replaced, with ERROR_SHARING_VIOLATION. So can no file that a
    // program of the process's running list was started from.
    void MarkInUse(const std::string& path);

    // What the user answers in the shell's own error window, which a copy
    // without FOF_NOERRORUI shows for a file it cannot write: Skip leaves the
    // file out and goes on, Cancel stops there. Either way the shell answers
    // 0 and sets fAnyOperationsAborted. With no answer given (or with
    // FOF_NOERRORUI) the copy fails with the file's error.
    enum class ShellAnswer { None, Skip, Cancel };
    ShellAnswer shellErrorAnswer = ShellAnswer::None;

    // Programs started through the shell, by path (they run on, in the
    // process's list of running programs).
    std::vector<std::string> launched;
    // The program that a command line starts, as CreateProcess finds it: a
    // quoted name, or else each prefix that ends at a blank in turn, ".exe"
    // appended to a name without an extension. Empty when there is none.
    std::string ProgramOf(const std::string& commandLine) const;
    // The machine restarts: link objects and COM are gone; files stay.
    void Restart();
    bool comInitialised = false;
    // Shell-link objects created and not released to their last reference.
    int liveLinks = 0;

    int SHFileOperationA(SHFILEOPSTRUCTA* lpFileOp) override;
    DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) override;
    DWORD GetFileAttributesA(LPCSTR lpFileName) override;
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
    // Copies the files that `source` names; a file that cannot be written,
    // and the one named `stopAt`, are answered by `answer` (None: the copy
    // fails with the file's error). Sets `aborted` when a file was left out
    // or the copy was cancelled, and `cancelled` for the latter.
    int CopyMatches(const std::string& source, const std::string& destinationFolder, ShellAnswer answer,
                    const std::string& stopAt, bool& aborted, bool& cancelled);
    // Why a file cannot be written there, or 0.
    int WriteError(const std::string& path) const;

    SimProcess& m_process;
    std::map<std::string, File> m_files;  // by lower-case path
    std::set<std::string> m_folders;      // lower-case paths
    std::set<std::string> m_readOnly;     // lower-case paths
    std::set<std::string> m_inUse;        // lower-case paths
};
