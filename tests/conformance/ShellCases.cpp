// The shell: copying, folders, launching, the shell link, and the conversion
// of a path to UTF-16.
#include <cstring>

#include "tests/conformance/Cases.h"

namespace {

std::basic_string<WCHAR> Wide(const std::string& text) { return std::basic_string<WCHAR>(text.begin(), text.end()); }

// Copies `from` (a list of names ended by an empty one) into `to`.
int Copy(Bench& b, const std::string& from, const std::string& to, FILEOP_FLAGS flags, BOOL* aborted = nullptr)
{
    std::string source = from + '\0';
    std::string destination = to + '\0' + '\0';
    SHFILEOPSTRUCTA request{};
    request.wFunc = FO_COPY;
    request.pFrom = source.c_str();
    request.pTo = destination.c_str();
    request.fFlags = flags;
    int result = b.shell().SHFileOperationA(&request);
    if (aborted != nullptr) *aborted = request.fAnyOperationsAborted;
    return result;
}

// Neither a question nor an error window: what the cases cannot answer.
constexpr FILEOP_FLAGS kQuiet = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI | FOF_SILENT;

// A package folder with three files, and a destination that is not there yet.
std::string Package(Bench& b)
{
    std::string folder = b.Folder() + "\\package";
    for (const char* name : {"A.GPD", "B.INF", "C.TXT"}) b.MakeFile(folder + "\\" + name, std::string("file ") + name);
    return folder;
}

int Convert(Bench& b, UINT codePage, DWORD flags, const std::string& text, WCHAR* out, int size)
{
    return b.shell().MultiByteToWideChar(codePage, flags, text.c_str(), -1, out, size);
}

// What the link object's cases need from COM, on a thread of their own so
// that the thread's apartment is as the case finds it.
HRESULT MakeLink(Bench& b, IShellLinkA** link)
{
    return b.shell().CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(link));
}

}  // namespace

std::vector<Case> ShellCases()
{
    return {
        {"SHFileOperationA copies what the patterns match in the current folder, making the destination folder",
         "Wine test: dlls/shell32/tests/shlfileop.c test_copy",
         [](Bench& b) {
             std::string package = Package(b), destination = b.Folder() + "\\drivers";
             b.ChangeDirectory(package);
             BOOL aborted = TRUE;
             b.Expect("copied", Copy(b, std::string("*.GPD") + '\0' + "*.INF", destination,
                                     FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR, &aborted),
                      0);
             b.Expect("nothing aborted", aborted, FALSE);
             b.Expect("A.GPD", b.Content(destination + "\\a.gpd"), "file A.GPD");
             b.Expect("B.INF", b.FileExists(destination + "\\B.INF"), true);
             b.Expect("C.TXT", b.FileExists(destination + "\\C.TXT"), false);
         }},
        {"GetCurrentDirectoryA answers the size it needs, NUL included, for too small a buffer and leaves it; "
         "GetFileAttributesA finds a file there by its name alone",
         "Wine test: dlls/kernel32/tests/path.c test_CurrentDirectoryA",
         [](Bench& b) {
             std::string package = Package(b);
             b.MakeFolder(package + "\\STM");
             b.ChangeDirectory(package);
             char small[4] = "abc";
             DWORD needed = b.shell().GetCurrentDirectoryA(sizeof small, small);
             b.Expect("the size needed", needed, package.size() + 1);
             b.Expect("the small buffer", small, "abc");
             std::string folder(needed, 'x');
             b.Expect("the length", b.shell().GetCurrentDirectoryA(needed, &folder[0]), package.size());
             b.Expect("the folder", LowerCase(folder.c_str()), LowerCase(package));
             b.Expect("a file", b.shell().GetFileAttributesA("B.INF") & FILE_ATTRIBUTE_DIRECTORY, 0);
             b.Expect("a folder", b.shell().GetFileAttributesA("STM") & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
             b.PresetLastError();
             b.Expect("a file that is not there", b.shell().GetFileAttributesA("D.GPD"), INVALID_FILE_ATTRIBUTES);
             b.LastError(ERROR_FILE_NOT_FOUND);
             b.PresetLastError();
             b.Expect("in a folder that is not there", b.shell().GetFileAttributesA("none\\B.INF"), INVALID_FILE_ATTRIBUTES);
             b.LastError(ERROR_PATH_NOT_FOUND);
             b.PresetLastError();
             b.Expect("a pattern", b.shell().GetFileAttributesA("*.INF"), INVALID_FILE_ATTRIBUTES);
             b.LastError(ERROR_INVALID_NAME);
         }},
        {"SHFileOperationA replaces a file of the same name without asking",
         "Wine test: dlls/shell32/tests/shlfileop.c test_copy",
         [](Bench& b) {
             std::string package = Package(b), destination = b.Folder() + "\\drivers";
             b.MakeFile(destination + "\\A.GPD", "older");
             BOOL aborted = TRUE;
             b.Expect("copied",
                      Copy(b, package + "\\A.GPD", destination, FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR, &aborted), 0);
             b.Expect("nothing aborted", aborted, FALSE);
             b.Expect("replaced", b.Content(destination + "\\A.GPD"), "file A.GPD");
         }},
        {"SHFileOperationA with a source that does not exist: ERROR_FILE_NOT_FOUND, and no destination folder",
         "Wine test: dlls/shell32/tests/shlfileop.c test_copy",
         [](Bench& b) {
             std::string package = Package(b), destination = b.Folder() + "\\drivers";
             b.Expect("copied", Copy(b, package + "\\MISSING.EXE", destination, kQuiet), ERROR_FILE_NOT_FOUND, 1026,
                      "Wine answers 1026, as Windows did before Vista");
             b.Expect("the destination folder", b.FolderExists(destination), false);
         }},
        {"SHFileOperationA with one missing source among others copies none of them",
         "Wine test: dlls/shell32/tests/shlfileop.c test_copy",
         [](Bench& b) {
             std::string package = Package(b), destination = b.Folder() + "\\drivers";
             b.MakeFolder(destination);
             b.Expect("copied",
                      Copy(b, package + "\\A.GPD" + '\0' + package + "\\MISSING.EXE" + '\0' + package + "\\B.INF",
                           destination, kQuiet),
                      ERROR_FILE_NOT_FOUND, 1026, "Wine answers 1026, as Windows did before Vista");
             b.Expect("the file before the missing one", b.FileExists(destination + "\\A.GPD"), false);
             b.Expect("the file after it", b.FileExists(destination + "\\B.INF"), false);
         }},
        {"SHFileOperationA with a pattern that matches nothing beside one that matches",
         "none",
         [](Bench& b) {
             std::string package = Package(b), destination = b.Folder() + "\\drivers";
             b.MakeFolder(destination);
             b.Expect("copied", Copy(b, package + "\\*.GPD" + '\0' + package + "\\*.HLP", destination, kQuiet), 0);
             b.Expect("the file that matched", b.FileExists(destination + "\\A.GPD"), true);
         }},
        {"SHFileOperationA cannot replace a file that another process holds open",
         "none",
         [](Bench& b) {
             std::string package = Package(b), destination = b.Folder() + "\\drivers";
             b.MakeFile(destination + "\\A.GPD", "in use");
             b.HoldOpen(destination + "\\A.GPD");
             b.Expect("refused", Copy(b, package + "\\A.GPD" + '\0' + package + "\\B.INF", destination, kQuiet) != 0,
                      true, false, "Wine's SHFileOperationA answers 0 when the copy of a file fails");
             b.Expect("the file in use", b.Content(destination + "\\A.GPD"), "in use");
         }},
        {"A user who skips or cancels in the shell's window: the copy answers 0, and says something was left out",
         "documentation: SHFILEOPSTRUCTA",
         [](Bench& b) {
             std::string package = Package(b);
             for (Bench::ShellWindowAnswer answer : {Bench::ShellWindowAnswer::Skip, Bench::ShellWindowAnswer::Cancel}) {
                 bool skip = answer == Bench::ShellWindowAnswer::Skip;
                 std::string destination = b.Folder() + (skip ? "\\skipped" : "\\cancelled");
                 b.MakeFile(destination + "\\A.GPD", "in use");
                 b.HoldOpen(destination + "\\A.GPD");
                 b.AnswerShellWindow(answer);
                 BOOL aborted = FALSE;
                 b.Expect("copied",
                          Copy(b, package + "\\A.GPD" + '\0' + package + "\\B.INF", destination, FOF_NOCONFIRMATION,
                               &aborted),
                          0);
                 b.Expect("something left out", aborted, TRUE);
                 b.Expect("the file in use", b.Content(destination + "\\A.GPD"), "in use");
                 b.Expect("the file after it (Skip: copied; Cancel: not)", b.FileExists(destination + "\\B.INF"), skip);
             }
         },
         nullptr, "only the simulated machine has a user who answers the shell's window"},
        {"SHCreateDirectory makes a folder with its missing parents; an existing one answers ERROR_ALREADY_EXISTS",
         "Wine test: dlls/shell32/tests/shlfileop.c test_sh_create_dir",
         [](Bench& b) {
             std::string folder = b.Folder() + "\\one\\two\\STM\\";
             b.Expect("made", b.shell().SHCreateDirectory(nullptr, Wide(folder).c_str()), ERROR_SUCCESS);
             b.Expect("the folder", b.FolderExists(folder), true);
             b.Expect("again", b.shell().SHCreateDirectory(nullptr, Wide(folder).c_str()), ERROR_ALREADY_EXISTS);
         }},
        {"SHCreateDirectory refuses a relative path with ERROR_BAD_PATHNAME",
         "documentation: SHCreateDirectoryExA",
         [](Bench& b) {
             b.ChangeDirectory(b.Folder());
             b.Expect("made", b.shell().SHCreateDirectory(nullptr, Wide("relative\\STM").c_str()), ERROR_BAD_PATHNAME);
             b.Expect("nothing below the current folder", b.FolderExists(b.Folder() + "\\relative"), false);
         }},
        {"SHCreateDirectory refuses a path longer than a folder may be with ERROR_FILENAME_EXCED_RANGE",
         "documentation: SHCreateDirectoryExA",
         [](Bench& b) {
             std::string folder = b.Folder() + "\\" + std::string(100, 'a') + "\\" + std::string(100, 'b') + "\\" +
                                  std::string(100, 'c');
             b.Expect("made", b.shell().SHCreateDirectory(nullptr, Wide(folder).c_str()), ERROR_FILENAME_EXCED_RANGE,
                      ERROR_SUCCESS, "Wine's SHCreateDirectory makes a folder of any length its file system takes");
         }},
        {"CreateDirectoryA: ERROR_ALREADY_EXISTS for an existing folder, ERROR_PATH_NOT_FOUND without its parent",
         "Wine test: dlls/kernel32/tests/directory.c test_CreateDirectoryA",
         [](Bench& b) {
             std::string folder = b.Folder() + "\\Corvantis";
             b.Expect("made", b.shell().CreateDirectoryA(folder.c_str(), nullptr), TRUE);
             b.PresetLastError();
             b.Expect("again", b.shell().CreateDirectoryA(folder.c_str(), nullptr), FALSE);
             b.LastError(ERROR_ALREADY_EXISTS);
             b.PresetLastError();
             b.Expect("without its parent", b.shell().CreateDirectoryA((folder + "\\x\\y").c_str(), nullptr), FALSE);
             b.LastError(ERROR_PATH_NOT_FOUND);
         }},
        {"ShellExecuteA opens a program and answers more than 32; a missing one answers ERROR_FILE_NOT_FOUND",
         "Wine test: dlls/shell32/tests/shlexec.c test_filename",
         [](Bench& b) {
             std::string program = b.Folder() + "\\STM\\Monitor.exe";
             b.MakeProgram(program);
             HINSTANCE opened = b.shell().ShellExecuteA(nullptr, "open", program.c_str(), nullptr, nullptr, SW_MINIMIZE);
             b.Expect("opened", reinterpret_cast<uintptr_t>(opened) > 32, true);
             b.Expect("it ran", b.Ran(program), true);
             HINSTANCE missing = b.shell().ShellExecuteA(nullptr, "open", (b.Folder() + "\\Missing.exe").c_str(), nullptr,
                                                         nullptr, SW_MINIMIZE);
             b.Expect("a missing program", reinterpret_cast<uintptr_t>(missing), ERROR_FILE_NOT_FOUND);
         }},
        {"SHFileOperationA cannot replace a program while it runs: its image is open for reading only",
         "Wine test: dlls/kernel32/tests/file.c test_file_sharing",
         [](Bench& b) {
             std::string program = b.Folder() + "\\STM\\Monitor.exe";
             std::string newer = b.Folder() + "\\package\\Monitor.exe";
             b.MakeProgram(program);
             b.MakeFile(newer, "a newer program");
             std::string running = b.Content(program);
             b.StartProgram(program);
             // The status monitor's own copy request.
             FILEOP_FLAGS flags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
             b.Expect("refused", Copy(b, newer, b.Folder() + "\\STM\\", flags) != 0, true, false,
                      "Wine leaves the running program as it was, but its SHFileOperationA answers 0");
             b.Expect("the running program", b.Content(program) == running && !running.empty(), true);
         }},
        {"CoCreateInstance of the shell link needs CoInitialize first; a second CoInitialize answers S_FALSE",
         "Wine test: dlls/ole32/tests/compobj.c test_CoCreateInstance",
         [](Bench& b) {
             b.OnNewThread([](Bench& t) {
                 IShellLinkA* link = nullptr;
                 t.Expect("before CoInitialize", MakeLink(t, &link), CO_E_NOTINITIALIZED);
                 t.Expect("the interface after a failure", link == nullptr, true);
                 t.Expect("CoInitialize", t.shell().CoInitialize(nullptr), S_OK);
                 t.Expect("CoInitialize again", t.shell().CoInitialize(nullptr), S_FALSE);
                 t.Expect("after", MakeLink(t, &link), S_OK);
                 if (link != nullptr) t.Expect("the last reference released", link->Release(), 0);
             });
         }},
        {"The shell link saves its target and description; saving into a missing folder fails",
         "Wine test: dlls/shell32/tests/shelllink.c test_load_save",
         [](Bench& b) {
             b.OnNewThread([](Bench& t) {
                 t.shell().CoInitialize(nullptr);
                 IShellLinkA* link = nullptr;
                 if (MakeLink(t, &link) != S_OK) return t.Expect("the link object", false, true);
                 IPersistFile* file = nullptr;
                 t.Expect("IPersistFile", link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
                 std::string target = t.Folder() + "\\STM\\Monitor.exe";
                 t.MakeFile(target, "program");
                 t.Expect("SetPath", link->SetPath(target.c_str()), S_OK);
                 t.Expect("SetDescription", link->SetDescription("Shortcut to Status Monitor - Conformance"), S_OK);
                 std::string shortcut = t.Folder() + "\\StatusMonitorConformance.LNK";
                 t.Expect("saved", file->Save(Wide(shortcut).c_str(), TRUE), S_OK);
                 t.Expect("the file names its target", t.Content(shortcut).find("Monitor.exe") != std::string::npos, true);
                 t.Expect("saved into a missing folder",
                          file->Save(Wide(t.Folder() + "\\Missing\\Shortcut.LNK").c_str(), TRUE),
                          static_cast<HRESULT>(0x80070003));
                 file->Release();
                 t.Expect("the last reference released", link->Release(), 0);
             });
         }},
        {"MultiByteToWideChar converts the ANSI code page 1252: 0x80 is the euro sign, 0xE9 e acute",
         "documentation: Windows code page 1252 (Microsoft's bestfit1252 table)",
         [](Bench& b) {
             WCHAR wide[8] = {};
             b.Expect("characters, NUL included", Convert(b, CP_ACP, 0, "C:\\\x80\xE9", wide, 8), 6);
             b.Expect("0x80", static_cast<unsigned>(wide[3]), 0x20ACu);
             b.Expect("0xE9", static_cast<unsigned>(wide[4]), 0xE9u);
             b.Expect("the thread's code page", Convert(b, CP_THREAD_ACP, 0, "\x80", wide, 8), 2);
             b.Expect("0x80 there", static_cast<unsigned>(wide[0]), 0x20ACu);
         }},
        {"MultiByteToWideChar answers the size it needs, and ERROR_INSUFFICIENT_BUFFER for less",
         "Wine test: dlls/kernel32/tests/codepage.c test_negative_source_length",
         [](Bench& b) {
             WCHAR wide[4] = {};
             b.Expect("the size", Convert(b, CP_ACP, 0, "C:\\STM", nullptr, 0), 7);
             b.PresetLastError();
             b.Expect("too small", Convert(b, CP_ACP, 0, "C:\\STM", wide, 4), 0);
             b.LastError(ERROR_INSUFFICIENT_BUFFER);
             b.PresetLastError();
             b.Expect("nothing", b.shell().MultiByteToWideChar(CP_ACP, 0, "C:\\", 0, wide, 4), 0);
             b.LastError(ERROR_INVALID_PARAMETER);
         }},
        {"MultiByteToWideChar takes no flags but MB_ERR_INVALID_CHARS for UTF-8",
         "documentation: MultiByteToWideChar",
         [](Bench& b) {
             WCHAR wide[8] = {};
             b.PresetLastError();
             int converted = Convert(b, CP_UTF8, MB_PRECOMPOSED, "C:\\", wide, 8);
             b.Expect("MB_PRECOMPOSED", converted, 0, 4, "Wine's MultiByteToWideChar takes MB_PRECOMPOSED for UTF-8");
             if (converted == 0) b.LastError(ERROR_INVALID_FLAGS);
             b.Expect("no flags", Convert(b, CP_UTF8, 0, "C:\\", wide, 8), 4);
             b.Expect("MB_PRECOMPOSED for the ANSI code page", Convert(b, CP_ACP, MB_PRECOMPOSED, "C:\\", wide, 8), 4);
         }},
        {"MultiByteToWideChar reads bytes that are no UTF-8 as U+FFFD, or fails with MB_ERR_INVALID_CHARS",
         "documentation: MultiByteToWideChar",
         [](Bench& b) {
             WCHAR wide[8] = {};
             b.Expect("converted", Convert(b, CP_UTF8, 0, "a\xE9z", wide, 8), 4);
             b.Expect("the byte that is no UTF-8", static_cast<unsigned>(wide[1]), 0xFFFDu);
             b.PresetLastError();
             b.Expect("with MB_ERR_INVALID_CHARS", Convert(b, CP_UTF8, MB_ERR_INVALID_CHARS, "a\xE9z", wide, 8), 0);
             b.LastError(ERROR_NO_UNICODE_TRANSLATION);
         }},
        {"MultiByteToWideChar with CP_ACP and CP_THREAD_ACP takes the flags of the ANSI code page: for UTF-8 none "
         "but MB_ERR_INVALID_CHARS",
         "documentation: MultiByteToWideChar",
         [](Bench& b) {
             constexpr DWORD kComposite = 0x2, kGlyphs = 0x4;  // MB_COMPOSITE, MB_USEGLYPHCHARS
             for (UINT ansi : {65001u, 932u}) {
                 b.UseAnsiCodePage(ansi);
                 for (UINT codePage : {CP_ACP, CP_THREAD_ACP}) {
                     for (DWORD flags :
                          {DWORD(0), DWORD(MB_ERR_INVALID_CHARS), DWORD(MB_PRECOMPOSED), kComposite, kGlyphs}) {
                         WCHAR wide[8] = {};
                         bool refused = ansi == 65001u && flags != 0 && flags != MB_ERR_INVALID_CHARS;
                         std::string row = std::to_string(ansi) + (codePage == CP_ACP ? ", CP_ACP" : ", CP_THREAD_ACP") +
                                           ", flags " + std::to_string(flags);
                         b.PresetLastError();
                         b.Expect(row.c_str(), Convert(b, codePage, flags, "C:\\", wide, 8), refused ? 0 : 4);
                         if (refused) b.LastError(ERROR_INVALID_FLAGS);
                     }
                 }
             }
         },
         nullptr, "Wine's ANSI code page follows the Unix locale that it starts in, one for the whole table"},
    };
}
