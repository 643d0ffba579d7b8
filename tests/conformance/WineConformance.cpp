// The conformance table on the real Win32 layer, under Wine: a MinGW program
// that runs every case the prefix can be put in, and prints one line per
// case and per difference that Wine is known to have. run_conformance.py
// starts it once, restarts the Wine server (volatile keys are gone then), and
// starts it again with --after-restart for what must survive.
//
//     ok - <case>
//     not ok - <case>: <what>: <answer>, expected <answer>
//     differs - <case>: <what>: Windows <answer>, Wine <answer>: <why>
//     skip - <case>: <why>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/Win32Platform.h"
#include "tests/conformance/Bench.h"
#include "tests/conformance/Cases.h"

namespace {

// The folder that this program and the stand-in program lie in.
std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\'));
}

void MakeFolders(const std::string& path)
{
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

class WineBench : public Bench {
public:
    explicit WineBench(int number) : Bench(Win32Platform()), m_folder("C:\\conformance\\" + std::to_string(number)) {}

    bool OnWine() const override { return true; }
    void PresetLastError() override { ::SetLastError(kNoError); }
    std::string Folder() override
    {
        MakeFolders(m_folder);
        return m_folder;
    }
    void MakeFile(const std::string& path, const std::string& content) override
    {
        MakeFolders(path.substr(0, path.find_last_of('\\')));
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        if (file == INVALID_HANDLE_VALUE ||
            !WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr))
            failures.push_back("could not make " + path);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    void MakeFolder(const std::string& path) override { MakeFolders(path); }
    bool FileExists(const std::string& path) override
    {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    bool FolderExists(const std::string& path) override
    {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    std::string Content(const std::string& path) override
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return std::string();
        std::string content;
        char chunk[4096];
        DWORD read = 0;
        while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) content.append(chunk, read);
        CloseHandle(file);
        return content;
    }
    void ChangeDirectory(const std::string& path) override { SetCurrentDirectoryA(path.c_str()); }
    void MakeProgram(const std::string& path) override
    {
        MakeFolders(path.substr(0, path.find_last_of('\\')));
        if (!CopyFileA((ProgramFolder() + "\\StatusMonitor.exe").c_str(), path.c_str(), FALSE))
            failures.push_back("could not copy the stand-in program to " + path);
    }
    bool Ran(const std::string& path) override
    {
        // The program leaves its mark when it has started: a bounded wait.
        for (int waited = 0; waited < 20000; waited += 100) {
            if (FileExists(path + ".ran")) return true;
            Sleep(100);
        }
        return false;
    }
    void StartProgram(const std::string& path) override
    {
        std::string commandLine = "\"" + path + "\" --stay";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &started)) {
            failures.push_back("could not start " + path);
            return;
        }
        CloseHandle(started.hThread);
        m_running.push_back({started.hProcess, path});
        if (!Ran(path)) failures.push_back(path + " did not start within 20 s");
    }
    HWND Focus() override { return GetFocus(); }
    bool NeedsPaint(HWND hwnd) override { return GetUpdateRect(hwnd, nullptr, FALSE) != FALSE; }
    bool IsWindow(HWND hwnd) override { return ::IsWindow(hwnd) != FALSE; }
    void OnNewThread(void (*run)(Bench& bench)) override
    {
        Start start{run, this};
        HANDLE thread = CreateThread(nullptr, 0, RunStart, &start, 0, nullptr);
        if (thread == nullptr || WaitForSingleObject(thread, 60000) != WAIT_OBJECT_0)
            failures.push_back("the case's own thread did not end within 60 s");
        if (thread != nullptr) CloseHandle(thread);
    }
    void UseAnsiCodePage(UINT) override { failures.push_back("only the simulated machine changes its code page"); }
    void RunAs(WORD, WORD) override { failures.push_back("only the simulated machine changes its processor"); }
    void HoldOpen(const std::string& path) override
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) failures.push_back("could not hold " + path + " open");
        else m_held.push_back(file);
    }
    void AnswerShellWindow(ShellWindowAnswer) override { failures.push_back("no user answers the shell's window here"); }
    void RemovePorts() override { failures.push_back("the spooler's local ports cannot be removed here"); }
    void UseWindows(DWORD, DWORD, bool) override {}
    void AnswerSigningQuestion(bool) override { failures.push_back("no user answers the system's signing question here"); }
    void ArriveDevice(const std::string&) override { failures.push_back("no USB device can arrive here"); }
    ~WineBench() override
    {
        for (HANDLE file : m_held) CloseHandle(file);
        // Each program started by the case is told to stop, and ended if it
        // has not within 10 s.
        for (const auto& [process, path] : m_running) {
            MakeFile(path + ".stop", "");
            if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
    }
    void RemoveQueue(const std::string& name) override
    {
        PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
        HANDLE printer = nullptr;
        if (!OpenPrinterA(const_cast<LPSTR>(name.c_str()), &printer, &access)) return;
        DeletePrinter(printer);
        ClosePrinter(printer);
    }
    std::string InfStore() override
    {
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        return std::string(windows) + "\\inf";
    }

private:
    struct Start {
        void (*run)(Bench& bench);
        Bench* bench;
    };
    static DWORD WINAPI RunStart(LPVOID parameter)
    {
        Start* start = static_cast<Start*>(parameter);
        start->run(*start->bench);
        return 0;
    }

    std::string m_folder;
    std::vector<HANDLE> m_held;
    std::vector<std::pair<HANDLE, std::string>> m_running;
};

}  // namespace

int main(int argc, char** argv)
{
    // --after-restart: the second run. --only TEXT: only the cases whose name holds TEXT.
    bool afterRestart = false;
    const char* only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--after-restart") == 0) afterRestart = true;
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
    }
    Win32Platform().process->InitCommonControls();
    if (!afterRestart) {
        // What an earlier run in this prefix left.
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Conformance");
        SHFILEOPSTRUCTA remove{};
        remove.wFunc = FO_DELETE;
        remove.pFrom = "C:\\conformance\0";
        remove.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
        SHFileOperationA(&remove);
    }
    int number = 0, failed = 0, differences = 0, skipped = 0, ran = 0;
    for (const Case& tested : ConformanceCases()) {
        ++number;
        if (afterRestart && tested.afterRestart == nullptr) continue;
        if (only != nullptr && std::strstr(tested.name, only) == nullptr) continue;
        if (tested.simulatedOnly != nullptr) {
            if (!afterRestart) std::printf("skip - %s: %s\n", tested.name, tested.simulatedOnly);
            skipped += afterRestart ? 0 : 1;
            continue;
        }
        WineBench bench(number);
        (afterRestart ? tested.afterRestart : tested.run)(bench);
        ++ran;
        for (const std::string& difference : bench.differences) {
            std::printf("differs - %s: %s\n", tested.name, difference.c_str());
            ++differences;
        }
        if (bench.failures.empty()) {
            std::printf("ok - %s%s\n", tested.name, afterRestart ? " (after the restart)" : "");
        } else {
            ++failed;
            for (const std::string& failure : bench.failures)
                std::printf("not ok - %s%s: %s\n", tested.name, afterRestart ? " (after the restart)" : "",
                            failure.c_str());
        }
        std::fflush(stdout);
    }
    std::printf("%d cases run, %d failed, %d differences from Windows, %d only on the simulated machine\n", ran, failed,
                differences, skipped);
    return failed == 0 ? 0 : 1;
}
