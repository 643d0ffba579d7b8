// The process: the named mutex, the version, folders and names of the
// system and the module, the run time's comparison.
#include <cstring>

#include "tests/conformance/Cases.h"

namespace {

int Compare(Bench& b, const char* one, const char* other)
{
    return b.process()._mbsicmp(reinterpret_cast<const unsigned char*>(one), reinterpret_cast<const unsigned char*>(other));
}

}  // namespace

std::vector<Case> ProcessCases()
{
    return {
        {"CreateMutexA of a name that exists answers a handle and ERROR_ALREADY_EXISTS; handles close once",
         "Wine test: dlls/kernel32/tests/sync.c test_mutex",
         [](Bench& b) {
             const char name[] = "Global\\{C0FF0A11-0000-4a7e-9F21-0D8C5A7B3E14}";
             b.PresetLastError();
             HANDLE first = b.process().CreateMutexA(nullptr, FALSE, name);
             b.Expect("first", first != nullptr, true);
             b.LastError(ERROR_SUCCESS);
             b.PresetLastError();
             HANDLE second = b.process().CreateMutexA(nullptr, FALSE, name);
             b.Expect("second", second != nullptr, true);
             b.LastError(ERROR_ALREADY_EXISTS);
             b.Expect("closed", b.process().CloseHandle(second), TRUE);
             b.PresetLastError();
             b.Expect("closed again", b.process().CloseHandle(second), FALSE);
             b.LastError(ERROR_INVALID_HANDLE);
             b.process().CloseHandle(first);
             b.PresetLastError();
             HANDLE third = b.process().CreateMutexA(nullptr, FALSE, name);
             b.LastError(ERROR_SUCCESS);
             b.process().CloseHandle(third);
         }},
        {"GetVersionExA fills a record of 148 bytes or the extended one of 156, and refuses any other size",
         "Wine test: dlls/kernel32/tests/version.c test_GetVersionEx",
         [](Bench& b) {
             OSVERSIONINFOA version{};
             version.dwOSVersionInfoSize = sizeof version;
             b.Expect("the record's size", sizeof version, 148);
             b.PresetLastError();
             b.Expect("answered", b.process().GetVersionExA(&version), TRUE);
             b.LastError(Bench::kNoError);
             b.Expect("the version", std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion),
                      "6.1");
             b.Expect("the platform", version.dwPlatformId, VER_PLATFORM_WIN32_NT);
             OSVERSIONINFOEXA extended{};
             extended.dwOSVersionInfoSize = sizeof extended;
             b.Expect("the extended record's size", sizeof extended, 156);
             b.Expect("the extended record",
                      b.process().GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended)), TRUE);
             b.Expect("its version",
                      std::to_string(extended.dwMajorVersion) + "." + std::to_string(extended.dwMinorVersion), "6.1");
             b.Expect("a workstation", extended.wProductType, VER_NT_WORKSTATION);
             for (DWORD size : {0u, 100u, 152u, 296u}) {
                 version.dwOSVersionInfoSize = size;
                 b.PresetLastError();
                 b.Expect("another size", b.process().GetVersionExA(&version), FALSE);
                 b.LastError(ERROR_INSUFFICIENT_BUFFER);
             }
         }},
        {"GetWindowsDirectoryA answers the size it needs, NUL included, for too small a buffer",
         "Wine test: dlls/kernel32/tests/directory.c test_GetWindowsDirectoryA",
         [](Bench& b) {
             char small[3] = "Z";
             UINT needed = b.process().GetWindowsDirectoryA(small, sizeof small);
             char path[MAX_PATH] = {};
             UINT length = b.process().GetWindowsDirectoryA(path, MAX_PATH);
             b.Expect("the folder", LowerCase(path), "c:\\windows");
             b.Expect("the size needed", needed, length + 1);
             b.Expect("nothing copied", small[0], 'Z');
         }},
        {"GetModuleFileNameA cuts a name that does not fit to the buffer, NUL included, and says so",
         "documentation: GetModuleFileNameA",
         [](Bench& b) {
             char path[MAX_PATH] = {};
             DWORD length = b.windows().GetModuleFileNameA(path, MAX_PATH);
             b.Expect("the name", length > 3 && length == std::strlen(path), true);
             std::vector<char> exact(length + 1, 'Z');
             b.Expect("a buffer that fits it", b.windows().GetModuleFileNameA(exact.data(), length + 1), length);
             b.Expect("the name in it", std::string(exact.data()), std::string(path));
             std::vector<char> short1(length, 'Z');
             b.PresetLastError();
             b.Expect("one character less", b.windows().GetModuleFileNameA(short1.data(), length), length);
             b.LastError(ERROR_INSUFFICIENT_BUFFER);
             b.Expect("cut, with its NUL", std::string(short1.data(), length), std::string(path, length - 1) + '\0',
                      std::string(path, length), "Wine leaves the cut name without its NUL, as Windows XP did");
         }},
        {"The Run keys' programs start at the next log-on, each value read as CreateProcess reads a command line",
         "documentation: Run and RunOnce Registry Keys",
         [](Bench& b) {
             const std::string folder = b.Folder();
             for (const char* program : {"\\STM\\Monitor(ESCP).exe", "\\Program Files\\Vendor\\Tray.exe", "\\Program.exe",
                                         "\\User.exe"})
                 b.MakeProgram(folder + program);
             const std::string lines[][2] = {
                 {"ConformanceMonitor", folder + "\\STM\\Monitor(ESCP)"},  // without its .exe
                 {"ConformanceTray", "\"" + folder + "\\Program Files\\Vendor\\Tray.exe\" /minimized"},
                 {"ConformanceBlanks", folder + "\\Program Files\\Other\\Icon"},  // Program.exe, found first
             };
             for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
                 HKEY run = nullptr;
                 b.Expect("the Run key",
                          b.registry().RegOpenKeyExA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                                                     KEY_SET_VALUE, &run),
                          ERROR_SUCCESS);
                 if (root == HKEY_LOCAL_MACHINE) {
                     for (const auto& [name, line] : lines)
                         b.registry().RegSetValueExA(run, name.c_str(), 0, REG_SZ,
                                                     reinterpret_cast<const BYTE*>(line.c_str()),
                                                     static_cast<DWORD>(line.size() + 1));
                 } else {
                     std::string line = folder + "\\User.exe";
                     b.registry().RegSetValueExA(run, "ConformanceUser", 0, REG_SZ,
                                                 reinterpret_cast<const BYTE*>(line.c_str()),
                                                 static_cast<DWORD>(line.size() + 1));
                 }
                 b.registry().RegCloseKey(run);
             }
         },
         [](Bench& b) {
             b.Expect("named without its .exe", b.Ran(b.Folder() + "\\STM\\Monitor(ESCP).exe"), true);
             b.Expect("quoted, with arguments", b.Ran(b.Folder() + "\\Program Files\\Vendor\\Tray.exe"), true);
             b.Expect("unquoted, with blanks", b.Ran(b.Folder() + "\\Program.exe"), true);
             b.Expect("the user's Run key", b.Ran(b.Folder() + "\\User.exe"), true);
         }},
        {"A named mutex does not outlive a restart",
         "documentation: CreateMutexA",
         [](Bench& b) { b.process().CreateMutexA(nullptr, FALSE, "Global\\{C0FF0A11-0001-4a7e-9F21-0D8C5A7B3E14}"); },
         [](Bench& b) {
             b.PresetLastError();
             HANDLE mutex = b.process().CreateMutexA(nullptr, FALSE, "Global\\{C0FF0A11-0001-4a7e-9F21-0D8C5A7B3E14}");
             b.LastError(ERROR_SUCCESS);
             b.process().CloseHandle(mutex);
         }},
        {"IsUserAnAdmin: the setup program runs with an administrator's rights",
         "none",
         [](Bench& b) { b.Expect("an administrator", b.process().IsUserAnAdmin() != FALSE, true); }},
        {"IsWow64Process: a process of the machine's own architecture does not run under WOW64",
         "documentation: IsWow64Process",
         [](Bench& b) {
             BOOL wow64 = TRUE;
             b.Expect("answered", b.process().IsWow64Process(b.process().GetCurrentProcess(), &wow64), TRUE);
             b.Expect("under WOW64", wow64, FALSE);
         }},
        {"IsWow64Process2: a process of the machine's own architecture answers IMAGE_FILE_MACHINE_UNKNOWN and the "
         "machine's own; the native machine may be left out",
         "Wine test: dlls/kernel32/tests/process.c test_IsWow64Process2",
         [](Bench& b) {
             USHORT process = 0xDEAD, native = 0xDEAD;
             b.Expect("answered", b.process().IsWow64Process2(b.process().GetCurrentProcess(), &process, &native), TRUE);
             b.Expect("the process's machine", process, IMAGE_FILE_MACHINE_UNKNOWN);
             b.Expect("the native machine", native,
                      sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
             process = 0xDEAD;
             b.Expect("without the native machine", b.process().IsWow64Process2(b.process().GetCurrentProcess(), &process, nullptr),
                      TRUE);
             b.Expect("the process's machine again", process, IMAGE_FILE_MACHINE_UNKNOWN);
         }},
        {"IsWow64Process2 on Windows on ARM64: an x86 process answers IMAGE_FILE_MACHINE_I386, an x64 one, emulated, "
         "IMAGE_FILE_MACHINE_UNKNOWN; both the native ARM64",
         "documentation: IsWow64Process2",
         [](Bench& b) {
             for (WORD program : {IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64}) {
                 b.RunAs(program, IMAGE_FILE_MACHINE_ARM64);
                 USHORT process = 0xDEAD, native = 0xDEAD;
                 b.Expect("answered", b.process().IsWow64Process2(b.process().GetCurrentProcess(), &process, &native), TRUE);
                 b.Expect("the process's machine", process,
                          program == IMAGE_FILE_MACHINE_I386 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_UNKNOWN);
                 b.Expect("the native machine", native, IMAGE_FILE_MACHINE_ARM64);
                 BOOL wow64 = FALSE;
                 b.process().IsWow64Process(b.process().GetCurrentProcess(), &wow64);
                 b.Expect("under WOW64", wow64, program == IMAGE_FILE_MACHINE_I386 ? TRUE : FALSE);
             }
         },
         nullptr, "Wine runs on x86 processors here: no prefix can be Windows on ARM64"},
        {"_mbsicmp folds the ASCII letters only, in a single-byte code page and the C locale",
         "documentation: _stricmp, _wcsicmp, _mbsicmp",
         [](Bench& b) {
             b.Expect("ASCII letters", Compare(b, "USB#VID_F1C4&PID_1101#QL70_TILLMATE", "usb#vid_f1c4&pid_1101#ql70_tillmate"),
                      0);
             b.Expect("a different text", Compare(b, "QL70_TILLMATE", "QL70_OTHER") != 0, true);
             b.Expect("shorter first", Compare(b, "QL70", "QL70_TILLMATE") < 0, true);
             b.Expect("e acute against E acute", Compare(b, "caf\xE9", "CAF\xC9") != 0, true);
         }},
        {"_mbsicmp in code page 932 compares a double-byte character whole, its trail byte no letter",
         "documentation: _stricmp, _wcsicmp, _mbsicmp",
         [](Bench& b) {
             b.UseAnsiCodePage(932);
             // 0x82 0x60 is a full-width A, 0x82 0x81 a full-width a; 0x83 0x41 ends in the byte of 'A'.
             b.Expect("full-width letters fold", Compare(b, "\x82\x60", "\x82\x81"), 0);
             b.Expect("a trail byte is no letter", Compare(b, "\x83\x41", "\x83\x61") != 0, true);
         },
         nullptr, "the prefixes here have the ANSI code page 1252; a Japanese system is only simulated"},
    };
}
