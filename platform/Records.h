// The platform's own types, records and constants.
//
// On Windows this is the SDK's headers. Elsewhere (the native build that runs the
// program against the simulated machine) it is our own small header with the
// published layouts, so that the same records pass through the same code.
#pragma once

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>
#include <objbase.h>
#include <setupapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winspool.h>

// setupapi.h's code for an INF of the wrong kind, which MinGW-w64's leaves out.
#ifndef ERROR_WRONG_INF_TYPE
#define ERROR_WRONG_INF_TYPE (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x209)
#endif

#else  // the published layouts, for the native build

#include <cstddef>
#include <cstdint>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint16_t USHORT;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int BOOL;
typedef unsigned int UINT;
typedef int INT;
typedef char CHAR;
typedef char16_t WCHAR;
typedef uint64_t DWORDLONG;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef LONG HRESULT;
typedef LONG LSTATUS;
typedef DWORD COLORREF;
typedef DWORD REGSAM;
typedef DWORD LCID;
typedef WORD FILEOP_FLAGS;
typedef void* HANDLE;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef CHAR* LPSTR;
typedef CHAR* PSTR;
typedef const CHAR* LPCSTR;
typedef const CHAR* PCSTR;
typedef const WCHAR* LPCWSTR;
typedef const WCHAR* PCWSTR;
typedef WCHAR* LPWSTR;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef DWORD* PDWORD;
typedef int* PBOOL;

#define DECLARE_PLATFORM_HANDLE(name) \
    struct name##__ { int unused; };  \
    typedef struct name##__* name
DECLARE_PLATFORM_HANDLE(HWND);
DECLARE_PLATFORM_HANDLE(HKEY);
DECLARE_PLATFORM_HANDLE(HICON);
DECLARE_PLATFORM_HANDLE(HINSTANCE);
DECLARE_PLATFORM_HANDLE(HDC);
DECLARE_PLATFORM_HANDLE(HBITMAP);
DECLARE_PLATFORM_HANDLE(HIMAGELIST);
DECLARE_PLATFORM_HANDLE(HHOOK);
#undef DECLARE_PLATFORM_HANDLE
typedef HICON HCURSOR;
typedef HKEY* PHKEY;
typedef void* HDEVNOTIFY;

#define TRUE 1
#define FALSE 0
#define CALLBACK
#define WINAPI
#define STDMETHODCALLTYPE

typedef uintptr_t DWORD_PTR;
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)(((WORD)(l)) | (((DWORD)(WORD)(h)) << 16)))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)(((WORD)(l)) | (((DWORD)(WORD)(h)) << 16)))
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFIID;
typedef const GUID& REFCLSID;
inline bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

struct POINT {
    LONG x;
    LONG y;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT* LPRECT;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};

// OSVERSIONINFOA followed by the service pack, suites and product type.
struct OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
enum : BYTE { VER_NT_WORKSTATION = 1 };

// Spooler records (winspool.h)
struct DRIVER_INFO_6A {
    DWORD cVersion;
    LPSTR pName;
    LPSTR pEnvironment;
    LPSTR pDriverPath;
    LPSTR pDataFile;
    LPSTR pConfigFile;
    LPSTR pHelpFile;
    LPSTR pDependentFiles;
    LPSTR pMonitorName;
    LPSTR pDefaultDataType;
    LPSTR pszzPreviousNames;
    FILETIME ftDriverDate;
    DWORDLONG dwlDriverVersion;
    LPSTR pszMfgName;
    LPSTR pszOEMUrl;
    LPSTR pszHardwareID;
    LPSTR pszProvider;
};

struct PRINTER_INFO_2A {
    LPSTR pServerName;
    LPSTR pPrinterName;
    LPSTR pShareName;
    LPSTR pPortName;
    LPSTR pDriverName;
    LPSTR pComment;
    LPSTR pLocation;
    void* pDevMode;
    LPSTR pSepFile;
    LPSTR pPrintProcessor;
    LPSTR pDatatype;
    LPSTR pParameters;
    void* pSecurityDescriptor;
    DWORD Attributes;
    DWORD Priority;
    DWORD DefaultPriority;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD Status;
    DWORD cJobs;
    DWORD AveragePPM;
};

struct PORT_INFO_2A {
    LPSTR pPortName;
    LPSTR pMonitorName;
    LPSTR pDescription;
    DWORD fPortType;
    DWORD Reserved;
};

// Shell records (shellapi.h)
struct SHFILEOPSTRUCTA {
    HWND hwnd;
    UINT wFunc;
    LPCSTR pFrom;
    LPCSTR pTo;
    FILEOP_FLAGS fFlags;
    BOOL fAnyOperationsAborted;
    LPVOID hNameMappings;
    LPCSTR lpszProgressTitle;
};

// Device broadcasts (dbt.h)
struct DEV_BROADCAST_HDR {
    DWORD dbch_size;
    DWORD dbch_devicetype;
    DWORD dbch_reserved;
};
struct DEV_BROADCAST_DEVICEINTERFACE_A {
    DWORD dbcc_size;
    DWORD dbcc_devicetype;
    DWORD dbcc_reserved;
    GUID dbcc_classguid;
    char dbcc_name[1];
};

// Common controls (commctrl.h)
struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};
struct NMITEMACTIVATE {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
    UINT uKeyFlags;
};
struct LVITEMA {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    LPSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
    int iIndent;
    int iGroupId;
    UINT cColumns;
    UINT* puColumns;
    int* piColFmt;
    int iGroup;
};
struct TCITEMA {
    UINT mask;
    DWORD dwState;
    DWORD dwStateMask;
    LPSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
};

// COM and the shell's link object, in their published method order.
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;  // objects end through Release
};
struct IShellLinkA : IUnknown {
    virtual HRESULT GetPath(LPSTR pszFile, int cch, void* pfd, DWORD fFlags) = 0;
    virtual HRESULT GetIDList(void** ppidl) = 0;
    virtual HRESULT SetIDList(const void* pidl) = 0;
    virtual HRESULT GetDescription(LPSTR pszName, int cch) = 0;
    virtual HRESULT SetDescription(LPCSTR pszName) = 0;
    virtual HRESULT GetWorkingDirectory(LPSTR pszDir, int cch) = 0;
    virtual HRESULT SetWorkingDirectory(LPCSTR pszDir) = 0;
    virtual HRESULT GetArguments(LPSTR pszArgs, int cch) = 0;
    virtual HRESULT SetArguments(LPCSTR pszArgs) = 0;
    virtual HRESULT GetHotkey(WORD* pwHotkey) = 0;
    virtual HRESULT SetHotkey(WORD wHotkey) = 0;
    virtual HRESULT GetShowCmd(int* piShowCmd) = 0;
    virtual HRESULT SetShowCmd(int iShowCmd) = 0;
    virtual HRESULT GetIconLocation(LPSTR pszIconPath, int cch, int* piIcon) = 0;
    virtual HRESULT SetIconLocation(LPCSTR pszIconPath, int iIcon) = 0;
    virtual HRESULT SetRelativePath(LPCSTR pszPathRel, DWORD dwReserved) = 0;
    virtual HRESULT Resolve(HWND hwnd, DWORD fFlags) = 0;
    virtual HRESULT SetPath(LPCSTR pszFile) = 0;
};
struct IPersistFile : IUnknown {
    virtual HRESULT GetClassID(CLSID* pClassID) = 0;
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(LPCWSTR pszFileName, DWORD dwMode) = 0;
    virtual HRESULT Save(LPCWSTR pszFileName, BOOL fRemember) = 0;
    virtual HRESULT SaveCompleted(LPCWSTR pszFileName) = 0;
    virtual HRESULT GetCurFile(LPWSTR* ppszFileName) = 0;
};

inline constexpr GUID CLSID_ShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))

enum : DWORD {
    ERROR_SUCCESS = 0,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_PATH_NOT_FOUND = 3,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_NOT_ENOUGH_MEMORY = 8,
    ERROR_OUTOFMEMORY = 14,
    ERROR_WRITE_PROTECT = 19,
    ERROR_SHARING_VIOLATION = 32,
    ERROR_FILE_EXISTS = 80,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_INSUFFICIENT_BUFFER = 122,
    ERROR_INVALID_NAME = 123,
    ERROR_INVALID_LEVEL = 124,
    ERROR_PROC_NOT_FOUND = 127,
    ERROR_BAD_PATHNAME = 161,
    ERROR_ALREADY_EXISTS = 183,
    ERROR_FILENAME_EXCED_RANGE = 206,
    ERROR_MORE_DATA = 234,
    ERROR_INVALID_FLAGS = 1004,
    ERROR_CHILD_MUST_BE_VOLATILE = 1021,
    ERROR_NO_UNICODE_TRANSLATION = 1113,
    ERROR_INVALID_WINDOW_HANDLE = 1400,
    ERROR_RESOURCE_NAME_NOT_FOUND = 1814,
    ERROR_INVALID_PRINTER_NAME = 1801,
    ERROR_UNKNOWN_PORT = 1796,
    ERROR_UNKNOWN_PRINTER_DRIVER = 1797,
    ERROR_UNKNOWN_PRINTPROCESSOR = 1798,
    ERROR_PRINTER_ALREADY_EXISTS = 1802,
    ERROR_INVALID_DATATYPE = 1804,
    ERROR_CANCELLED = 1223,
    ERROR_UNSUPPORTED_TYPE = 1630,
    // The device-installation layer's own codes (setupapi.h).
    ERROR_WRONG_INF_TYPE = 0xE0000209,
    ERROR_NO_CATALOG_FOR_OEM_INF = 0xE000022F,
};

enum : REGSAM { KEY_QUERY_VALUE = 0x0001, KEY_SET_VALUE = 0x0002, KEY_READ = 0x20019, KEY_ALL_ACCESS = 0xF003F };
enum : DWORD { REG_NONE = 0, REG_SZ = 1, REG_EXPAND_SZ = 2, REG_BINARY = 3, REG_DWORD = 4, REG_OPTION_NON_VOLATILE = 0 };
enum : DWORD { REG_OPTION_VOLATILE = 1, REG_CREATED_NEW_KEY = 1, REG_OPENED_EXISTING_KEY = 2 };

enum : UINT { FO_MOVE = 1, FO_COPY = 2, FO_DELETE = 3, FO_RENAME = 4 };
enum : FILEOP_FLAGS {
    FOF_SILENT = 0x0004,
    FOF_NOCONFIRMATION = 0x0010,
    FOF_NOCONFIRMMKDIR = 0x0200,
    FOF_NOERRORUI = 0x0400,
};

enum : int { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOW = 5, SW_MINIMIZE = 6, SW_RESTORE = 9 };

enum : UINT {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

enum : UINT {
    WM_NULL = 0x0000,
    WM_DESTROY = 0x0002,
    WM_SETCURSOR = 0x0020,
    WM_SETTEXT = 0x000C,
    WM_GETTEXT = 0x000D,
    WM_GETTEXTLENGTH = 0x000E,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_ICONERASEBKGND = 0x0027,
    WM_QUERYDRAGICON = 0x0037,
    WM_NOTIFY = 0x004E,
    WM_SETICON = 0x0080,
    WM_KEYDOWN = 0x0100,
    WM_SYSKEYDOWN = 0x0104,
    WM_INITDIALOG = 0x0110,
    WM_COMMAND = 0x0111,
    WM_SYSCOMMAND = 0x0112,
    WM_DEVICECHANGE = 0x0219,
};
enum : WPARAM { SC_MINIMIZE = 0xF020, SC_CLOSE = 0xF060 };
// Message-filter hooks, and GetAncestor's kinds.
enum : int { WH_MSGFILTER = -1, MSGF_DIALOGBOX = 0 };
enum : UINT { GA_PARENT = 1, GA_ROOT = 2 };
enum : int { VK_RETURN = 0x0D, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_HOME = 0x24, VK_UP = 0x26, VK_DOWN = 0x28, VK_F4 = 0x73 };
enum : WPARAM { ICON_SMALL = 0, ICON_BIG = 1 };
enum : int { SM_CXICON = 11, SM_CYICON = 12 };

enum : UINT { BN_CLICKED = 0, LBN_SELCHANGE = 1 };
enum : UINT { NM_CLICK = (UINT)-2, TCN_SELCHANGE = (UINT)-551, LVN_ITEMCHANGED = (UINT)-101 };

enum : UINT { TCIF_TEXT = 0x0001 };
enum : UINT { LVIF_TEXT = 0x0001, LVIF_IMAGE = 0x0002, LVIF_STATE = 0x0008 };
enum : UINT { LVIS_FOCUSED = 0x0001, LVIS_SELECTED = 0x0002 };
enum : LONG { LVS_SINGLESEL = 0x0004, LVS_SHAREIMAGELISTS = 0x0040 };
enum : LONG { WS_VISIBLE = 0x10000000 };
enum : DWORD { LVS_EX_GRIDLINES = 0x0001, LVS_EX_FULLROWSELECT = 0x0020 };
enum : int { LVSIL_NORMAL = 0 };
enum : int { LVNI_SELECTED = 0x0002 };

enum : UINT {
    LVM_SETIMAGELIST = 0x1003,
    LVM_GETITEMCOUNT = 0x1004,
    LVM_INSERTITEMA = 0x1007,
    LVM_GETNEXTITEM = 0x100C,
    LVM_GETCOUNTPERPAGE = 0x1028,
    LVM_SETITEMSTATE = 0x102B,
    LVM_GETITEMSTATE = 0x102C,
    LVM_GETITEMTEXTA = 0x102D,
    LVM_SETICONSPACING = 0x1035,
    LVM_SETEXTENDEDLISTVIEWSTYLE = 0x1036,
    LVM_GETEXTENDEDLISTVIEWSTYLE = 0x1037,
    TCM_GETITEMCOUNT = 0x1304,
    TCM_INSERTITEMA = 0x1307,
    LB_INSERTSTRING = 0x0181,
    LB_SETCURSEL = 0x0186,
    LB_GETCURSEL = 0x0188,
    LB_GETTEXT = 0x0189,
    LB_GETTEXTLEN = 0x018A,
    LB_GETCOUNT = 0x018B,
    LB_GETITEMDATA = 0x0199,
    LB_SETITEMDATA = 0x019A,
};
enum : int { LB_ERR = -1 };

enum : UINT { IMAGE_BITMAP = 0 };
constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
enum : DWORD { VER_PLATFORM_WIN32_NT = 2 };
enum : WORD { IMAGE_FILE_MACHINE_UNKNOWN = 0, IMAGE_FILE_MACHINE_I386 = 0x014C, IMAGE_FILE_MACHINE_AMD64 = 0x8664, IMAGE_FILE_MACHINE_ARM64 = 0xAA64 };
enum : DWORD { FILE_ATTRIBUTE_DIRECTORY = 0x10, FILE_ATTRIBUTE_ARCHIVE = 0x20, INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF };
enum : UINT { RDW_INVALIDATE = 0x0001, RDW_ERASE = 0x0004, RDW_ALLCHILDREN = 0x0080, RDW_UPDATENOW = 0x0100 };

enum : UINT { DBT_DEVICEARRIVAL = 0x8000, DBT_DEVICEREMOVECOMPLETE = 0x8004 };
enum : DWORD { DBT_DEVTYP_DEVICEINTERFACE = 5, DEVICE_NOTIFY_WINDOW_HANDLE = 0 };

enum : DWORD { SPOST_PATH = 1, SP_COPY_NOOVERWRITE = 0x0008 };
enum : UINT { CP_ACP = 0, CP_THREAD_ACP = 3, CP_UTF8 = 65001 };
enum : DWORD { MB_PRECOMPOSED = 0x00000001, MB_ERR_INVALID_CHARS = 0x00000008 };
enum : DWORD { CLSCTX_INPROC_SERVER = 0x1 };
enum : DWORD { PRINTER_ATTRIBUTE_DEFAULT = 0x00000004, PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST = 0x00000200 };

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT CO_E_NOTINITIALIZED = (HRESULT)0x800401F0;
constexpr HRESULT E_NOINTERFACE = (HRESULT)0x80004002;
constexpr HRESULT E_FAIL = (HRESULT)0x80004005;
constexpr HRESULT REGDB_E_CLASSNOTREG = (HRESULT)0x80040154;

#define MAX_PATH 260

#endif  // _WIN32
