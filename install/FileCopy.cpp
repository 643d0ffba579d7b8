#include "install/FileCopy.h"

#include <new>
#include <string>
#include <vector>

#include "install/MultiString.h"
#include "profile/ModelProfile.h"
#include "profile/SetupTexts.h"
#include "resources/resource.h"

namespace {

// The package's files, found in the current folder: printer description
// files, the driver plug-in and modules, the INF file, the help file, the
// uninstaller, and the catalog that signs the INF (the driver store takes it
// from beside the INF, and 64-bit Windows refuses an INF without it). A list
// of names ended by an empty one.
const char kPackagePatterns[] = "*.GPD\0*.DLL\0*.INF\0*.HLP\0*.EXE\0*.CAT\0";

bool IsThere(const char* name) { return ShellApi().GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES; }

// The model's INF and description file, by the names alone: they resolve
// against the current folder, as the copy's patterns do.
bool CurrentFolderHoldsPackage() { return IsThere(InfFile[ConfiguredModel]) && IsThere(GpdFile[ConfiguredModel]); }

// The current folder's name, of any length (a folder deep below a download
// folder can exceed MAX_PATH); empty when the system does not say. Throws
// std::bad_alloc.
std::string CurrentFolder()
{
    // Too small a buffer (none at all here) is answered with the size
    // needed, NUL included, and left untouched.
    DWORD needed = ShellApi().GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return std::string();
    std::string folder(needed, '\0');
    DWORD length = ShellApi().GetCurrentDirectoryA(needed, &folder[0]);
    if (length == 0 || length >= needed) return std::string();
    folder.resize(length);
    return folder;
}

void ReportWrongFolder()
{
    std::string text;
    try {
        std::string folder = CurrentFolder();
        text = (folder.empty() ? std::string("The current folder") : "The folder \"" + folder + "\"") +
               " does not hold the printer driver package (" + InfFile[ConfiguredModel] + ", " +
               GpdFile[ConfiguredModel] + ").\nPlease start Setup.exe from the folder of the unpacked driver package.";
    } catch (const std::bad_alloc&) {
        // The text is assigned only once it is whole: it is still empty, and
        // the box says the same without the folder's name.
    }
    Windows().MessageBoxA(nullptr,
                          !text.empty() ? text.c_str()
                                        : "The current folder does not hold the printer driver package.\n"
                                          "Please start Setup.exe from the folder of the unpacked driver package.",
                          SetupCaption, MB_OK | MB_ICONERROR);
}

}  // namespace

CFileCopy::CFileCopy(CWnd* parent) : CDialog(IDD_FILE_COPY, parent) {}

const MessageMap* CFileCopy::GetMessageMap() const
{
    static const MessageMap map(CDialog::GetMessageMap());
    return &map;
}

BOOL CFileCopy::PreTranslateMessage(MSG* msg)
{
    if (IsEscapeKeyDown(msg)) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

// Enter does not close the wait window.
void CFileCopy::OnOK() {}

void CFileCopy::ShowNow()
{
    ShowWindow(SW_SHOW);
    UpdateWindow();
}

void CFileCopy::StageDriverFiles()
{
    BeginWaitCursor();
    // First of all: from a folder without the package (an elevated console
    // starts in System32, an archive opened in Explorer holds only Setup.exe
    // in its temporary folder) the patterns would copy whatever lies there,
    // thousands of system files, into the driver directory, where nothing
    // removes them. Asked before the spooler, so that the administrator
    // meets this one box and not the driver directory's, which would let
    // setup go on to port dialogs that can install nothing.
    if (!CurrentFolderHoldsPackage()) {
        ReportWrongFolder();
        Process().Exit(1);
    }
    if (!QueryDriverDirectory()) {
        // Setup goes on: the port dialogs still run, and the installer
        // reports its own failure to find the directory.
        MessageBox(DriverDirectoryError, SetupCaption, MB_OK | MB_ICONERROR);
    } else if (!CopyDriverFiles()) {
        // The shell has shown its own error; without the package nothing can
        // be installed.
        Process().Exit(1);
    }
    EndWaitCursor();
}

bool CFileCopy::QueryDriverDirectory() { return ::QueryDriverDirectory(DriverDirectory); }

// Only after QueryDriverDirectory has found the directory.
bool CFileCopy::CopyDriverFiles()
{
    std::vector<char> destination;
    try {
        destination = MultiString({DriverDirectory.get()});
    } catch (const std::bad_alloc&) {
        return false;
    }

    SHFILEOPSTRUCTA request{};
    request.hwnd = nullptr;
    request.wFunc = FO_COPY;
    request.pFrom = kPackagePatterns;
    request.pTo = destination.data();
    request.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;

    // The staging's wait cursor shows for the whole copy.
    int result = ShellApi().SHFileOperationA(&request);
    // The shell answers 0 also when the user cancelled, or skipped a file
    // (one in use, say), in its own error window; only the aborted flag
    // tells. A package with a file left out is no package.
    return result == 0 && !request.fAnyOperationsAborted;
}
