// The conformance table: the Windows answers the program relies on, written
// once against the platform's operation sets and run on two implementations:
// natively on the simulated machine (tests/sim) and, as a MinGW program, on
// the real Win32 layer (platform/win32) under Wine.
//
// A case sets up a machine state, makes one call (or a few that belong
// together) and checks what Windows documents: the result, the last error,
// the out-values and the state afterwards. Where Wine answers otherwise, the
// case gives both answers and why: the simulated machine is held to
// Windows' answer and Wine to its own, so that a change in either is seen.
#pragma once
#include <string>
#include <type_traits>
#include <vector>

#include "platform/Platform.h"

class Bench;

struct Case {
    const char* name;
    // What the Windows answers of the case rest on, in a word or two, by kind:
    //   "Wine test: <file> <function>"  a Wine conformance test, which runs on
    //                                   real Windows too (its ok(), not a
    //                                   todo_wine);
    //   "documentation: <page>"         Microsoft's documentation of the call;
    //   "report: <where>"               a public report from a real machine;
    //   "none"                          a belief that nothing here backs.
    const char* evidence;
    void (*run)(Bench& bench);
    // Runs after the machine has restarted (on Wine: a new wineserver), for
    // what must or must not survive it.
    void (*afterRestart)(Bench& bench) = nullptr;
    // A state that only the simulated machine can be put in here (a user who
    // cancels in the shell's window, a Japanese system), with why.
    const char* simulatedOnly = nullptr;
};

// Every case of the table, in the order of its areas.
std::vector<Case> ConformanceCases();

// What a value reads as in a report: numbers in decimal, texts quoted,
// handles only as there or not.
std::string Quote(const std::string& text);
template <class T>
std::string Show(const T& value)
{
    using Value = std::decay_t<T>;
    if constexpr (std::is_same_v<Value, bool>)
        return value ? "true" : "false";
    else if constexpr (std::is_integral_v<Value> || std::is_enum_v<Value>)
        return std::to_string(static_cast<long long>(value));
    else if constexpr (std::is_array_v<T>)
        return Quote(std::string(value));
    else if constexpr (std::is_same_v<Value, char*> || std::is_same_v<Value, const char*>)
        return value != nullptr ? Quote(value) : "(null)";
    else if constexpr (std::is_pointer_v<Value>)
        return value != nullptr ? "(a handle)" : "(null)";
    else
        return Quote(value);
}

class Bench {
public:
    virtual ~Bench() = default;

    // The implementation under test, and whether it is a real Win32.
    ISpooler& spooler() { return *m_os.spooler; }
    IRegistry& registry() { return *m_os.registry; }
    IShell& shell() { return *m_os.shell; }
    IProcess& process() { return *m_os.process; }
    IWindowSystem& windows() { return *m_os.windows; }
    virtual bool OnWine() const = 0;

    // Checks. `windows` is what Windows documents; where Wine differs, `wine`
    // is its own answer and `why` says what we know of the difference.
    template <class T, class U>
    void Expect(const char* what, const T& actual, const U& windows)
    {
        Compare(what, Show(actual), Show(windows), nullptr, nullptr);
    }
    template <class T, class U, class V>
    void Expect(const char* what, const T& actual, const U& windows, const V& wine, const char* why)
    {
        std::string onWine = Show(wine);
        Compare(what, Show(actual), Show(windows), &onWine, why);
    }
    // Before each call whose last error a case reads: a value that no call
    // returns, so that a stale error can never pass for the call's own.
    static constexpr DWORD kNoError = 0xDEADBEEF;
    virtual void PresetLastError() = 0;
    // The last error, read right after the call that failed.
    void LastError(DWORD windows) { Expect("last error", static_cast<long long>(process().GetLastError()), windows); }
    void LastError(DWORD windows, DWORD wine, const char* why)
    {
        Expect("last error", static_cast<long long>(process().GetLastError()), windows, wine, why);
    }

    // ---- Arranging and observing, from outside the operations under test.
    // A folder of this case's own, empty: "C:\conformance\<case>".
    virtual std::string Folder() = 0;
    virtual void MakeFile(const std::string& path, const std::string& content) = 0;
    virtual void MakeFolder(const std::string& path) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    virtual std::string Content(const std::string& path) = 0;
    virtual void ChangeDirectory(const std::string& path) = 0;
    // A program that leaves "<its path>.ran" beside itself when it runs,
    // copied to `path`; and whether the one at `path` has run (on Wine:
    // within a bound).
    virtual void MakeProgram(const std::string& path) = 0;
    virtual bool Ran(const std::string& path) = 0;
    // Starts the program that MakeProgram put at `path` and keeps it running
    // until the case ends.
    virtual void StartProgram(const std::string& path) = 0;
    // The window that has the keyboard focus, and whether a window waits to
    // be painted (has an update region).
    virtual HWND Focus() = 0;
    virtual bool NeedsPaint(HWND hwnd) = 0;
    virtual bool IsWindow(HWND hwnd) = 0;
    // Runs `run` on a thread of its own (COM's apartment is per thread).
    virtual void OnNewThread(void (*run)(Bench& bench)) = 0;
    // The system's ANSI code page (only the simulated machine can change it).
    virtual void UseAnsiCodePage(UINT codePage) = 0;
    // The process is a program built for `program` on a Windows that runs on
    // `native` (only the simulated machine can be so).
    virtual void RunAs(WORD program, WORD native) = 0;
    // Another process holds the file open until the case ends, as a running
    // program holds its own: others may read it, none may write or delete it.
    virtual void HoldOpen(const std::string& path) = 0;
    // What the user answers in the shell's own error window (only the
    // simulated machine has a user who answers it).
    enum class ShellWindowAnswer { Skip, Cancel };
    virtual void AnswerShellWindow(ShellWindowAnswer answer) = 0;
    // The spooler has no port at all (only the simulated machine's can be so).
    virtual void RemovePorts() = 0;
    // The Windows that the driver store judges an INF for: its version, and
    // whether it is 64-bit. Only the simulated machine changes; Wine's store
    // takes any INF whatever it reports.
    virtual void UseWindows(DWORD major, DWORD minor, bool sixtyFourBit) = 0;
    // What the user answers in the system's question before an unsigned
    // driver is stored (only the simulated machine has a user who answers it).
    virtual void AnswerSigningQuestion(bool installAnyway) = 0;
    // The system announces the arrival of a USB device interface with this
    // path (only the simulated machine has a device to plug in).
    virtual void ArriveDevice(const std::string& devicePath) = 0;
    // The spooler's driver directory of the environment this build is for.
    std::string DriverDirectory();
    // Removes what a case left in the spooler (queues, drivers), on Wine.
    virtual void RemoveQueue(const std::string& name) = 0;
    // The folder of the system's INF store.
    virtual std::string InfStore() = 0;

    // ---- The report.
    std::vector<std::string> failures;
    // Where Wine answered as the case says it differs from Windows.
    std::vector<std::string> differences;

protected:
    explicit Bench(const PlatformServices& os) : m_os(os) {}

private:
    void Compare(const char* what, const std::string& actual, const std::string& windows, const std::string* wine,
                 const char* why);
    PlatformServices m_os;
};
