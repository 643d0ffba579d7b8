#include "tests/sim/SimFiles.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

#include "tests/sim/SimCode.h"
#include "tests/sim/SimText.h"

namespace {

// The shell's wildcards, without regard to case.
bool Matches(const char* pattern, const char* name)
{
    for (; *pattern != '\0'; ++pattern, ++name) {
        if (*pattern == '*') {
            for (const char* rest = name;; ++rest) {
                if (Matches(pattern + 1, rest)) return true;
                if (*rest == '\0') return false;
            }
        }
        if (*name == '\0') return false;
        if (*pattern != '?' && std::tolower(static_cast<unsigned char>(*pattern)) !=
                                   std::tolower(static_cast<unsigned char>(*name)))
            return false;
    }
    return *name == '\0';
}

// Without long-path support a path of MAX_PATH characters or more names no
// file, and a folder is made only below MAX_PATH - 12 characters, so that an
// 8.3 name still fits inside it.
bool TooLongForAFile(const std::string& path) { return path.size() >= MAX_PATH; }
bool TooLongForAFolder(const std::string& path) { return path.size() >= MAX_PATH - 12; }

// The shell's own code for a path that exceeds, or would exceed, MAX_PATH.
constexpr int kPathTooDeep = 0x79;  // DE_PATHTOODEEP
// Errors of the system that the program's own header has no name for.
constexpr DWORD kSharingViolation = 32;  // ERROR_SHARING_VIOLATION
constexpr DWORD kCancelled = 1223;       // ERROR_CANCELLED

std::string Trimmed(std::string folder)
{
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

// The shell's link object: remembers what is set on it and saves it as a
// small text file, so that tests can read the shortcut back.
class SimShellLink final : public IShellLinkA, public IPersistFile {
public:
    explicit SimShellLink(SimFiles& files) : m_files(files) { ++m_files.liveLinks; }
    ~SimShellLink() { --m_files.liveLinks; }
    SimShellLink(const SimShellLink&) = delete;
    SimShellLink& operator=(const SimShellLink&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        sim::SimCode inSimulator;
        *ppv = nullptr;
        if (m_files.record.Enter("IShellLinkA::QueryInterface", riid == IID_IPersistFile ? "IID_IPersistFile" : "other"))
            return E_NOINTERFACE;
        if (riid == IID_IShellLinkA)
            *ppv = static_cast<IShellLinkA*>(this);
        else if (riid == IID_IPersistFile)
            *ppv = static_cast<IPersistFile*>(this);
        else
            return E_NOINTERFACE;
        ++m_references;
        return S_OK;
    }
    ULONG AddRef() override { return ++m_references; }
    ULONG Release() override
    {
        sim::SimCode inSimulator;
        ULONG left = --m_references;
        if (left == 0) {
            m_files.record.Note("IShellLinkA::Release", "last");
            delete this;
        }
        return left;
    }

    HRESULT SetPath(LPCSTR file) override { return Set("SetPath", file, m_target); }
    HRESULT SetDescription(LPCSTR name) override { return Set("SetDescription", name, m_description); }
    HRESULT SetWorkingDirectory(LPCSTR dir) override { return Set("SetWorkingDirectory", dir, m_workingDirectory); }
    HRESULT SetArguments(LPCSTR args) override { return Set("SetArguments", args, m_arguments); }

    HRESULT Save(LPCWSTR fileName, BOOL remember) override
    {
        sim::SimCode inSimulator;
        std::string path = m_files.AnsiName(fileName);
        if (DWORD error = m_files.record.Enter("IPersistFile::Save",
                                               Quoted(Utf8(fileName).c_str()) + ", " + std::to_string(remember)))
            return static_cast<HRESULT>(error);
        std::string content = "target=" + m_target + "\ndescription=" + m_description +
                              "\nworkingDirectory=" + m_workingDirectory + "\narguments=" + m_arguments + "\n";
        if (TooLongForAFile(path)) return static_cast<HRESULT>(0x800700CE);  // ERROR_FILENAME_EXCED_RANGE
        if (!m_files.WriteFile(path, content)) return static_cast<HRESULT>(0x80070003);  // path not found
        return S_OK;
    }

    // Not used by the program.
    HRESULT GetPath(LPSTR, int, void*, DWORD) override { return E_FAIL; }
    HRESULT GetIDList(void**) override { return E_FAIL; }
    HRESULT SetIDList(const void*) override { return E_FAIL; }
    HRESULT GetDescription(LPSTR, int) override { return E_FAIL; }
    HRESULT GetWorkingDirectory(LPSTR, int) override { return E_FAIL; }
    HRESULT GetArguments(LPSTR, int) override { return E_FAIL; }
    HRESULT GetHotkey(WORD*) override { return E_FAIL; }
    HRESULT SetHotkey(WORD) override { return E_FAIL; }
    HRESULT GetShowCmd(int*) override { return E_FAIL; }
    HRESULT SetShowCmd(int) override { return E_FAIL; }
    HRESULT GetIconLocation(LPSTR, int, int*) override { return E_FAIL; }
    HRESULT SetIconLocation(LPCSTR, int) override { return E_FAIL; }
    HRESULT SetRelativePath(LPCSTR, DWORD) override { return E_FAIL; }
    HRESULT Resolve(HWND, DWORD) override { return E_FAIL; }
    HRESULT GetClassID(CLSID*) override { return E_FAIL; }
    HRESULT IsDirty() override { return E_FAIL; }
    HRESULT Load(LPCWSTR, DWORD) override { return E_FAIL; }
    HRESULT SaveCompleted(LPCWSTR) override { return E_FAIL; }
    HRESULT GetCurFile(LPWSTR*) override { return E_FAIL; }

private:
    HRESULT Set(const char* operation, LPCSTR value, std::string& field)
    {
        sim::SimCode inSimulator;
        if (DWORD error = m_files.record.Enter(std::string("IShellLinkA::") + operation, Quoted(value)))
            return static_cast<HRESULT>(error);
        field = value != nullptr ? value : "";
        return S_OK;
    }

    SimFiles& m_files;
    ULONG m_references = 1;
    std::string m_target, m_description, m_workingDirectory, m_arguments;
};

}  // namespace

SimFiles::SimFiles(SimCallRecord& callRecord, SimProcess& process) : record(callRecord), m_process(process)
{
    AddFolder("C:\\Windows\\system32");
    AddFolder("C:\\Windows\\INF");
    AddFolder(currentDirectory);
}

std::string SimFiles::AnsiName(PCWSTR name) const { return Narrow(name, m_process.ansiCodePage); }

std::string SimFiles::Absolute(const std::string& path) const
{
    if (path.size() >= 2 && path[1] == ':') return path;
    return currentDirectory + "\\" + path;
}

void SimFiles::AddFolder(const std::string& path)
{
    std::string folder = Trimmed(Absolute(path));
    for (size_t at = folder.find('\\'); at != std::string::npos; at = folder.find('\\', at + 1))
        m_folders.insert(Lower(folder.substr(0, at)));
    m_folders.insert(Lower(folder));
}

void SimFiles::AddFile(const std::string& path, const std::string& content)
{
    std::string absolute = Absolute(path);
    AddFolder(FolderOf(absolute));
    WriteFile(absolute, content);
}

void SimFiles::MakeReadOnly(const std::string& folder) { m_readOnly.insert(Lower(Trimmed(Absolute(folder)))); }

void SimFiles::MarkInUse(const std::string& path) { m_inUse.insert(Lower(Absolute(path))); }

int SimFiles::WriteError(const std::string& path) const
{
    std::string absolute = Absolute(path);
    if (m_readOnly.count(Lower(FolderOf(absolute)))) return static_cast<int>(ERROR_ACCESS_DENIED);
    if (m_inUse.count(Lower(absolute))) return static_cast<int>(kSharingViolation);
    // The image of a running program is mapped: Windows opens it for
    // reading only, so nothing can write over it while the program runs.
    for (const std::string& program : m_process.running)
        if (Lower(Absolute(program)) == Lower(absolute)) return static_cast<int>(kSharingViolation);
    if (!FolderExists(FolderOf(absolute))) return static_cast<int>(ERROR_PATH_NOT_FOUND);
    return 0;
}

bool SimFiles::WriteFile(const std::string& path, const std::string& content)
{
    std::string absolute = Absolute(path);
    if (WriteError(absolute) != 0) return false;
    m_files[Lower(absolute)] = {absolute, content};
    return true;
}

bool SimFiles::FileExists(const std::string& path) const { return m_files.count(Lower(Absolute(path))) != 0; }

bool SimFiles::FolderExists(const std::string& path) const
{
    return m_folders.count(Lower(Trimmed(Absolute(path)))) != 0;
}

std::string SimFiles::FileContent(const std::string& path) const
{
    auto found = m_files.find(Lower(Absolute(path)));
    return found != m_files.end() ? found->second.content : std::string();
}

std::vector<std::string> SimFiles::FilesIn(const std::string& folder) const
{
    std::string prefix = Lower(Trimmed(Absolute(folder))) + "\\";
    std::vector<std::string> names;
    for (const auto& [key, file] : m_files)
        if (key.rfind(prefix, 0) == 0 && key.find('\\', prefix.size()) == std::string::npos)
            names.push_back(LeafOf(file.path));
    std::sort(names.begin(), names.end());
    return names;
}

int SimFiles::CopyMatches(const std::string& source, const std::string& destinationFolder, ShellAnswer answer,
                          const std::string& stopAt, bool& aborted, bool& cancelled)
{
    std::string absolute = Absolute(source);
    std::string folder = FolderOf(absolute);
    std::string pattern = LeafOf(absolute);
    bool wildcard = pattern.find_first_of("*?") != std::string::npos;
    int matched = 0;
    if (TooLongForAFile(absolute)) return kPathTooDeep;
    for (const std::string& name : FilesIn(folder)) {
        if (!Matches(pattern.c_str(), name.c_str())) continue;
        ++matched;
        std::string target = destinationFolder + "\\" + name;
        if (TooLongForAFile(target)) return kPathTooDeep;
        int error = Lower(target) == stopAt ? static_cast<int>(kCancelled) : WriteError(target);
        if (error != 0) {
            if (answer == ShellAnswer::None) return error;
            aborted = true;
            if (answer == ShellAnswer::Cancel) {
                cancelled = true;
                return 0;
            }
            continue;
        }
        WriteFile(target, FileContent(folder + "\\" + name));
    }
    // A wildcard that matches nothing copies nothing; a missing named file fails.
    return !wildcard && matched == 0 ? static_cast<int>(ERROR_FILE_NOT_FOUND) : 0;
}

DWORD SimFiles::GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer)
{
    sim::SimCode inSimulator;
    record.Note("GetCurrentDirectoryA", std::to_string(nBufferLength));
    // Too small a buffer: the size needed, NUL included, and the buffer left as it was.
    DWORD needed = static_cast<DWORD>(currentDirectory.size() + 1);
    if (lpBuffer == nullptr || nBufferLength < needed) return needed;
    std::memcpy(lpBuffer, currentDirectory.c_str(), needed);
    return needed - 1;
}

DWORD SimFiles::GetFileAttributesA(LPCSTR lpFileName)
{
    sim::SimCode inSimulator;
    if (DWORD error = record.Enter("GetFileAttributesA", Quoted(lpFileName)))
        return m_process.SetLastError(error), INVALID_FILE_ATTRIBUTES;
    if (lpFileName == nullptr) return m_process.SetLastError(ERROR_PATH_NOT_FOUND), INVALID_FILE_ATTRIBUTES;
    std::string name = lpFileName;
    // A wildcard names no file: the system takes it for a name it cannot have.
    if (name.find_first_of("*?") != std::string::npos)
        return m_process.SetLastError(ERROR_INVALID_NAME), INVALID_FILE_ATTRIBUTES;
    if (FolderExists(name)) return FILE_ATTRIBUTE_DIRECTORY;
    if (FileExists(name)) return FILE_ATTRIBUTE_ARCHIVE;
    m_process.SetLastError(FolderExists(FolderOf(Absolute(name))) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
}

int SimFiles::SHFileOperationA(SHFILEOPSTRUCTA* lpFileOp)
{
    sim::SimCode inSimulator;
    std::vector<std::string> from = ReadMultiString(lpFileOp->pFrom);
    std::vector<std::string> to = ReadMultiString(lpFileOp->pTo);
    std::ostringstream arguments;
    arguments << "func=" << lpFileOp->wFunc << ", flags=0x" << std::hex << lpFileOp->fFlags << std::dec << ", from=";
    for (const std::string& entry : from) arguments << "[" << entry << "]";
    arguments << ", to=";
    for (const std::string& entry : to) arguments << "[" << entry << "]";
    arguments << ", hwnd=" << (lpFileOp->hwnd != nullptr ? "set" : "none");
    lpFileOp->fAnyOperationsAborted = FALSE;
    // The shell's window answers for the files that cannot be written, unless
    // the request asks for no error window.
    ShellAnswer answer = lpFileOp->fFlags & FOF_NOERRORUI ? ShellAnswer::None : shellErrorAnswer;
    // An injected stop: the user (or the system) at the first file.
    bool stopped = false;
    if (DWORD error = record.Enter("SHFileOperationA", arguments.str())) {
        if (error != kShellCopyCancelled && error != kShellCopySkipped) return static_cast<int>(error);
        answer = error == kShellCopyCancelled ? ShellAnswer::Cancel : ShellAnswer::Skip;
        stopped = true;
    }
    if (lpFileOp->wFunc != FO_COPY || from.empty() || to.size() != 1) return static_cast<int>(ERROR_INVALID_PARAMETER);

    // The shell looks at every source before it copies anything: a named
    // file that is not there fails the whole request, and nothing is made or
    // copied (ERROR_FILE_NOT_FOUND from Vista on).
    for (const std::string& source : from) {
        std::string absolute = Absolute(source);
        if (TooLongForAFile(absolute)) return kPathTooDeep;
        if (LeafOf(absolute).find_first_of("*?") == std::string::npos && !FileExists(absolute))
            return static_cast<int>(ERROR_FILE_NOT_FOUND);
    }
    std::string destination = Trimmed(Absolute(to[0]));
    if (TooLongForAFile(destination)) return kPathTooDeep;
    if (!FolderExists(destination)) {
        if (TooLongForAFolder(destination)) return kPathTooDeep;
        // Without FOF_NOCONFIRMMKDIR the shell would ask first; we only model the flag's answer.
        if (!(lpFileOp->fFlags & FOF_NOCONFIRMMKDIR)) return static_cast<int>(ERROR_PATH_NOT_FOUND);
        AddFolder(destination);
    }
    // The file stopped at: the first that the request names.
    std::string stopAt;
    for (size_t i = 0; stopped && stopAt.empty() && i < from.size(); ++i) {
        std::string absolute = Absolute(from[i]);
        std::string pattern = LeafOf(absolute);
        for (const std::string& name : FilesIn(FolderOf(absolute)))
            if (stopAt.empty() && Matches(pattern.c_str(), name.c_str())) stopAt = Lower(destination + "\\" + name);
    }
    bool aborted = stopped, cancelled = false;
    for (const std::string& source : from) {
        if (int result = CopyMatches(source, destination, answer, stopAt, aborted, cancelled)) return result;
        if (cancelled) break;
    }
    lpFileOp->fAnyOperationsAborted = aborted ? TRUE : FALSE;
    return 0;
}

int SimFiles::SHCreateDirectory(HWND, PCWSTR pszPath)
{
    sim::SimCode inSimulator;
    std::string path = AnsiName(pszPath);
    if (DWORD error = record.Enter("SHCreateDirectory", Quoted(Utf8(pszPath).c_str()))) return static_cast<int>(error);
    // Only a full path: a drive and its root, or a network share.
    bool full = (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || path.rfind("\\\\", 0) == 0;
    if (!full) return ERROR_BAD_PATHNAME;
    if (FolderExists(path)) return ERROR_ALREADY_EXISTS;
    if (TooLongForAFolder(Trimmed(path))) return ERROR_FILENAME_EXCED_RANGE;
    AddFolder(path);
    return ERROR_SUCCESS;
}

BOOL SimFiles::CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    sim::SimCode inSimulator;
    if (DWORD error = record.Enter("CreateDirectoryA", Quoted(lpPathName))) return m_process.SetLastError(error), FALSE;
    std::string path = lpPathName != nullptr ? Absolute(lpPathName) : std::string();
    if (FolderExists(path)) return m_process.SetLastError(ERROR_ALREADY_EXISTS), FALSE;
    if (TooLongForAFolder(Trimmed(path))) return m_process.SetLastError(ERROR_FILENAME_EXCED_RANGE), FALSE;
    if (!FolderExists(FolderOf(path))) return m_process.SetLastError(ERROR_PATH_NOT_FOUND), FALSE;
    AddFolder(path);
    return TRUE;
}

HINSTANCE SimFiles::ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                                  LPCSTR lpDirectory, INT nShowCmd)
{
    sim::SimCode inSimulator;
    auto answer = [](uintptr_t code) { return reinterpret_cast<HINSTANCE>(code); };
    if (DWORD error = record.Enter("ShellExecuteA", std::string(hwnd ? "owner" : "none") + ", " + Quoted(lpOperation) +
                                                        ", " + Quoted(lpFile) + ", " + Quoted(lpParameters) + ", " +
                                                        Quoted(lpDirectory) + ", " + std::to_string(nShowCmd)))
        return answer(error & 0x1F);  // a failure answers a value of 32 or less
    if (lpFile == nullptr || TooLongForAFile(Absolute(lpFile)) || !FileExists(lpFile)) return answer(ERROR_FILE_NOT_FOUND);
    launched.push_back(lpFile);
    m_process.running.push_back(lpFile);
    return answer(42);
}

std::string SimFiles::ProgramOf(const std::string& commandLine) const
{
    std::string line = commandLine.substr(std::min(commandLine.find_first_not_of(' '), commandLine.size()));
    auto program = [this](std::string name) {
        if (LeafOf("\\" + name).find('.') == std::string::npos) name += ".exe";
        return !TooLongForAFile(Absolute(name)) && FileExists(name) ? Absolute(name) : std::string();
    };
    if (!line.empty() && line[0] == '"') return program(line.substr(1, line.find('"', 1) - 1));
    // "C:\Program Files\A B" tries "C:\Program", "C:\Program Files\A", then the whole line.
    for (size_t blank = line.find(' '); blank != std::string::npos; blank = line.find(' ', blank + 1))
        if (std::string found = program(line.substr(0, blank)); !found.empty()) return found;
    return line.empty() ? std::string() : program(line);
}

void SimFiles::Restart()
{
    liveLinks = 0;
    comInitialised = false;
}

HRESULT SimFiles::CoInitialize(LPVOID)
{
    sim::SimCode inSimulator;
    if (DWORD error = record.Enter("CoInitialize", "")) return static_cast<HRESULT>(error);
    bool already = comInitialised;
    comInitialised = true;
    return already ? 1 /* S_FALSE */ : S_OK;
}

HRESULT SimFiles::CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv)
{
    sim::SimCode inSimulator;
    *ppv = nullptr;
    if (DWORD error = record.Enter("CoCreateInstance", std::string(rclsid == CLSID_ShellLink ? "CLSID_ShellLink" : "?") +
                                                           ", " + (pUnkOuter ? "outer" : "none") + ", " +
                                                           std::to_string(dwClsContext) + ", " +
                                                           (riid == IID_IShellLinkA ? "IID_IShellLinkA" : "?")))
        return static_cast<HRESULT>(error);
    if (!comInitialised) return static_cast<HRESULT>(0x800401F0);  // CO_E_NOTINITIALIZED
    if (!(rclsid == CLSID_ShellLink)) return REGDB_E_CLASSNOTREG;
    if (!(riid == IID_IShellLinkA)) return E_NOINTERFACE;
    *ppv = static_cast<IShellLinkA*>(new SimShellLink(*this));
    return S_OK;
}

int SimFiles::MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                  LPWSTR lpWideCharStr, int cchWideChar)
{
    sim::SimCode inSimulator;
    if (DWORD error = record.Enter("MultiByteToWideChar", std::to_string(CodePage) + ", " + std::to_string(dwFlags) +
                                                              ", " + Quoted(lpMultiByteStr) + ", " +
                                                              std::to_string(cbMultiByte) + ", " +
                                                              std::to_string(cchWideChar)))
        return m_process.SetLastError(error), 0;
    if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cchWideChar < 0 || (cchWideChar > 0 && lpWideCharStr == nullptr))
        return m_process.SetLastError(ERROR_INVALID_PARAMETER), 0;
    // CP_ACP is the system's ANSI code page, CP_THREAD_ACP that of the
    // thread's locale; both are 1252 on a Western system.
    UINT codePage = CodePage == CP_ACP ? m_process.ansiCodePage
                  : CodePage == CP_THREAD_ACP ? m_process.threadCodePage : CodePage;
    // UTF-8 takes no flag but MB_ERR_INVALID_CHARS.
    if (codePage == CP_UTF8 && (dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0)
        return m_process.SetLastError(ERROR_INVALID_FLAGS), 0;
    // -1: the string with its NUL, which converts too.
    size_t bytes = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    bool invalid = false;
    std::u16string wide = Widen(std::string(lpMultiByteStr, bytes), codePage, &invalid);
    if (invalid && (dwFlags & MB_ERR_INVALID_CHARS)) return m_process.SetLastError(ERROR_NO_UNICODE_TRANSLATION), 0;
    int length = static_cast<int>(wide.size());
    if (cchWideChar == 0) return length;
    if (cchWideChar < length) return m_process.SetLastError(ERROR_INSUFFICIENT_BUFFER), 0;
    std::copy(wide.begin(), wide.end(), lpWideCharStr);
    return length;
}
