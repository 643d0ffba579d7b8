#include "app/SetupApp.h"

#include "profile/SetupTexts.h"
#include "app/SetupDlg.h"
#include "install/FileCopy.h"
#include "resources/resource.h"

const char* const SetupMutexName = "Global\\{6B1F2E90-3C4D-4a7e-9F21-0D8C5A7B3E14}";

namespace {

// Holds the single-instance mutex for as long as the user interface runs. The
// program never waits on it; it only asks whether it existed already.
class CInstanceGuard {
public:
    CInstanceGuard()
    {
        // Not in the initialiser list: the error must be read right after
        // the creation, and the members come in the other order.
        // cppcheck-suppress useInitializationList
        m_mutex = Process().CreateMutexA(nullptr, FALSE, SetupMutexName);
        m_lastError = Process().GetLastError();
    }
    ~CInstanceGuard() { Close(); }
    CInstanceGuard(const CInstanceGuard&) = delete;
    CInstanceGuard& operator=(const CInstanceGuard&) = delete;

    bool AlreadyRunning() const { return m_lastError == ERROR_ALREADY_EXISTS; }

    void Close()
    {
        if (m_mutex == nullptr) return;
        Process().CloseHandle(m_mutex);
        m_mutex = nullptr;
    }

private:
    DWORD m_lastError;  // read right after the creation, in the constructor
    HANDLE m_mutex = nullptr;
};

// The build for 32-bit Windows; the native test build can be made as one too.
#if (defined(_WIN32) && !defined(_WIN64)) || defined(SETUP_X86_BUILD)
constexpr bool kThirtyTwoBitBuild = true;
#else
constexpr bool kThirtyTwoBitBuild = false;
#endif

bool RunsUnderWow64()
{
    BOOL wow64{};
    // A system without WOW64 answers no, or fails: either way no 64-bit spooler.
    return Process().IsWow64Process(Process().GetCurrentProcess(), &wow64) && wow64;
}

void Refuse(const char* text)
{
    Windows().MessageBoxA(nullptr, text, SetupCaption, MB_OK | MB_ICONERROR);
}

}  // namespace

CSetupApp::CSetupApp() : CWinApp(nullptr) {}

const MessageMap* CSetupApp::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnCommand(BN_CLICKED, ID_HELP, &CWinApp::OnHelp),
    };
    static const MessageMap map(CWinApp::GetMessageMap(), entries);
    return &map;
}

BOOL CSetupApp::InitInstance()
{
    CInstanceGuard guard;
    if (guard.AlreadyRunning()) {
        Refuse("Another application is already running. Please terminate the previous application.");
        return FALSE;
    }

    // A failed call leaves the zeroed record, whose major version 0 is refused.
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    Process().GetVersionExA(&version);
    if (version.dwMajorVersion != 6) {
        Refuse("The application will run only in Windows7 & Vista Operating System.");
        return FALSE;
    }

    // The manifest already asks for elevation; a user who declined it, or a
    // system that ignores manifests, still gets here.
    if (!Process().IsUserAnAdmin()) {
        Refuse("Administrator Privileges required to install Printer Drivers.\n"
               "Right Click the \"Setup\" application and select \"Run As...\" and log in as Administrator.");
        return FALSE;
    }

    // Windows 10 and later name the machine they run on. On ARM64 both
    // programs run, x64 emulated and x86 under WOW64, and would register a
    // driver of their own architecture, which the ARM64 spooler cannot load.
    USHORT processMachine = IMAGE_FILE_MACHINE_UNKNOWN;
    USHORT nativeMachine = IMAGE_FILE_MACHINE_UNKNOWN;
    const bool machineKnown =
        Process().IsWow64Process2(Process().GetCurrentProcess(), &processMachine, &nativeMachine) != FALSE;
    if (machineKnown && nativeMachine == IMAGE_FILE_MACHINE_ARM64) {
        Refuse("This printer driver does not run on ARM-based Windows.");
        return FALSE;
    }

    // The x86 program on x64 Windows would register a 32-bit driver, which
    // a 64-bit spooler cannot print with: its queue would fail with an
    // unknown driver. The x64 program is the one to run there. Systems
    // before Windows 10 cannot name their machine; there WOW64 tells.
    if (kThirtyTwoBitBuild && (machineKnown ? nativeMachine == IMAGE_FILE_MACHINE_AMD64 : RunsUnderWow64())) {
        Refuse("This Setup.exe is for 32-bit Windows, and this Windows is 64-bit.\n"
               "Please run the x64 Setup.exe of the printer driver package instead.");
        return FALSE;
    }

    Process().InitCommonControls();
    // MFC's default instance initialisation and its ActiveX container have
    // nothing to prepare in our framework: no dialog hosts a control of that kind.
    SetRegistryKey("Local AppWizard-Generated Applications");

    {
        CSetupDlg dialog;
        m_pMainWnd = &dialog;

        CFileCopy wait;
        wait.Create(IDD_FILE_COPY);
        wait.ShowNow();
        Process().Sleep(1000);
        wait.ShowWindow(SW_HIDE);

        dialog.DoModal();
        m_pMainWnd = nullptr;
    }
    return FALSE;
}
