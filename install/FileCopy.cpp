#include "install/FileCopy.h"

#include <new>
#include <vector>

#include "install/MultiString.h"
#include "profile/SetupTexts.h"
#include "resources/resource.h"

namespace {

// The package's files, found in the current folder: printer description
// files, the driver plug-in and modules, the INF file, the help file, the
// uninstaller, and the catalog that signs the INF (the driver store takes it
// from beside the INF, and 64-bit Windows refuses an INF without it). A list
// of names ended by an empty one.
const char kPackagePatterns[] = "*.GPD\0*.DLL\0*.INF\0*.HLP\0*.EXE\0*.CAT\0";

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
