// automate.exe: drives the real Setup.exe under Wine for the end-to-end tests.
//
// One command per run; it prints what it found on standard output and exits
// with 0, or prints the reason to standard error and exits with 1. Every wait
// is bounded by the timeout it is given.
//
//   wait TITLE TEXT TIMEOUT_MS [FILE.bmp]
//                                  a visible top-level window titled TITLE with a
//                                  control whose text contains TEXT ("-": any);
//                                  prints its handle, and takes its picture as
//                                  soon as it is painted when FILE is given
//   box TEXT TIMEOUT_MS            a visible message box whose text contains TEXT;
//                                  prints its handle, caption and text
//   gone HWND TIMEOUT_MS           the window is hidden or destroyed
//   texts HWND                     one line per control: id, class, visible,
//                                  enabled, text
//   items HWND ID                  the item texts of list view ID
//   lines HWND ID                  the item texts of list box ID, the selected one marked
//   text HWND ID                   the text of control ID as the control itself
//                                  answers it (an edit box's contents), 2 s at most
//   click HWND ID                  presses button ID (posted, so the command
//                                  never waits for a modal loop it starts)
//   key HWND VK                    a key press sent to the window's thread
//   device HWND PATH               a USB device-interface arrival with PATH
//   rect HWND                      the window's screen rectangle: x y width height
//   shot HWND FILE.bmp             the window as it is on screen, as a bitmap
//                                  (exit code 3: nothing painted on it)
//   memory HWND                    the peak working set of the window's process, in bytes
//   version                        the Windows version the system reports, MAJOR.MINOR, as
//                                  RtlGetVersion gives it (whatever a manifest claims)
//
// wait, box and click also write "at MS" to standard error: the wall-clock
// time (milliseconds since 1970) at which the window was found or the click
// posted, so that a benchmark can time what lies between.
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Text(HWND hwnd)
{
    // The text the system keeps for the window: no message is sent, so a
    // window whose thread is blocked (Setup sleeps with its wait window up)
    // answers at once.
    wchar_t buffer[1024] = {};
    InternalGetWindowText(hwnd, buffer, 1024);
    char text[2048] = {};
    WideCharToMultiByte(CP_ACP, 0, buffer, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

std::string ClassOf(HWND hwnd)
{
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\\n") : c == '\r' ? std::string() : std::string(1, c);
    return out;
}

struct Search {
    std::string title;
    std::string text;
    bool messageBox;
    HWND found;
};

BOOL CALLBACK ChildHasText(HWND child, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    if (search->text == "-" || Text(child).find(search->text) != std::string::npos) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindButton(HWND child, LPARAM param)
{
    if (ClassOf(child) != "Button") return TRUE;
    *reinterpret_cast<bool*>(param) = true;
    return FALSE;
}

BOOL CALLBACK TopLevel(HWND hwnd, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    if (!IsWindowVisible(hwnd)) return TRUE;
    if (search->messageBox) {
        // Message boxes are dialogs of their own class, whatever their caption,
        // with a button to answer: setup's wait window is a dialog of that
        // class too, with texts and no button.
        if (ClassOf(hwnd) != "#32770") return TRUE;
        bool button = false;
        EnumChildWindows(hwnd, FindButton, reinterpret_cast<LPARAM>(&button));
        if (!button) return TRUE;
    } else if (Text(hwnd) != search->title) {
        return TRUE;
    }
    Search inner = *search;
    inner.found = nullptr;
    EnumChildWindows(hwnd, ChildHasText, reinterpret_cast<LPARAM>(&inner));
    if (inner.found == nullptr && search->text != "-") return TRUE;
    if (search->messageBox && inner.found != nullptr && ClassOf(inner.found) != "Static") return TRUE;
    search->found = hwnd;
    return FALSE;
}

HWND Find(const std::string& title, const std::string& text, bool messageBox, DWORD timeout)
{
    DWORD start = GetTickCount();
    for (;;) {
        Search search{title, text, messageBox, nullptr};
        EnumWindows(TopLevel, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        if (GetTickCount() - start > timeout) return nullptr;
        Sleep(10);
    }
}

HWND Handle(const char* text) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 16))); }

// The host's wall clock, which Wine's system time follows.
void At()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    std::fprintf(stderr, "at %llu\n", (ticks - 116444736000000000ULL) / 10000ULL);
}

void Print(HWND hwnd) { std::printf("%llx\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd))); }

BOOL CALLBACK PrintChild(HWND child, LPARAM)
{
    std::printf("%d\t%s\t%d\t%d\t%s\n", GetDlgCtrlID(child), ClassOf(child).c_str(), IsWindowVisible(child) ? 1 : 0,
                IsWindowEnabled(child) ? 1 : 0, Escaped(Text(child)).c_str());
    return TRUE;
}

// The list view lives in the other process, so its item texts are read
// through a buffer allocated there.
int Items(HWND dialog, int id)
{
    HWND list = GetDlgItem(dialog, id);
    if (list == nullptr) return std::fprintf(stderr, "no list %d\n", id), 1;
    DWORD process = 0;
    GetWindowThreadProcessId(list, &process);
    HANDLE target = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (target == nullptr) return std::fprintf(stderr, "cannot open the process\n"), 1;
    const SIZE_T textSize = 512;
    char* remote = static_cast<char*>(
        VirtualAllocEx(target, nullptr, sizeof(LVITEMA) + textSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LVITEMA item{};
        item.iSubItem = 0;
        item.pszText = remote + sizeof(LVITEMA);
        item.cchTextMax = static_cast<int>(textSize);
        WriteProcessMemory(target, remote, &item, sizeof item, nullptr);
        SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote));
        char text[textSize] = {};
        ReadProcessMemory(target, remote + sizeof(LVITEMA), text, textSize - 1, nullptr);
        UINT state = static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED));
        std::printf("%s\t%s\n", text, (state & LVIS_SELECTED) ? "selected" : "-");
    }
    VirtualFreeEx(target, remote, 0, MEM_RELEASE);
    CloseHandle(target);
    return 0;
}

// A list box's strings travel between processes by themselves: the system
// marshals LB_GETTEXT.
int Lines(HWND dialog, int id)
{
    HWND list = GetDlgItem(dialog, id);
    if (list == nullptr) return std::fprintf(stderr, "no list %d\n", id), 1;
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    int selected = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
    for (int i = 0; i < count; ++i) {
        // The wide form: the system converts the list's own text for us.
        LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0 || length > 1000) continue;
        std::vector<wchar_t> wide(static_cast<size_t>(length) + 1, 0);
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide.data()));
        char text[4096] = {};
        WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text, sizeof text, nullptr, nullptr);
        std::printf("%s\t%s\n", text, i == selected ? "selected" : "-");
    }
    return 0;
}

// The window as it is on the screen now, 24 bits a pixel, bottom-up rows.
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;

    // A window that has not been painted yet is one flat colour or two.
    bool Painted() const
    {
        std::vector<unsigned> colours;
        for (size_t i = 0; i + 2 < pixels.size() && colours.size() < 8; i += 3) {
            unsigned colour = pixels[i] | pixels[i + 1] << 8 | pixels[i + 2] << 16;
            bool seen = false;
            for (unsigned known : colours) seen |= known == colour;
            if (!seen) colours.push_back(colour);
        }
        return colours.size() >= 8;
    }
};

bool Capture(HWND hwnd, Picture& picture)
{
    RECT rect;
    if (!GetWindowRect(hwnd, &rect)) return false;
    picture.width = rect.right - rect.left;
    picture.height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    size_t size = static_cast<size_t>(((picture.width * 3 + 3) & ~3) * picture.height);
    const unsigned char* begin = static_cast<const unsigned char*>(bits);
    picture.pixels.assign(begin, begin + size);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return true;
}

bool Save(const Picture& picture, const char* file)
{
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = picture.width;
    info.biHeight = picture.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + static_cast<DWORD>(picture.pixels.size());
    FILE* out = std::fopen(file, "wb");
    if (out == nullptr) return false;
    std::fwrite(&header, sizeof header, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::fwrite(picture.pixels.data(), picture.pixels.size(), 1, out);
    std::fclose(out);
    return true;
}

// Takes the window's picture once it shows painted content that has stopped
// changing (the system may draw the frame before the controls), for as long
// as the window stays visible within the bound, and waits within it for a
// window not yet shown. Exit code 3: nothing painted.
int Shot(HWND hwnd, const char* file, DWORD timeout = 5000)
{
    DWORD start = GetTickCount();
    Picture picture;
    Picture last;
    // A window that is hidden for a moment (the system may show a box again
    // after it has placed it, which a loaded machine stretches) is waited
    // for within the bound; one that is gone ends the wait.
    while (IsWindow(hwnd) && GetTickCount() - start < timeout) {
        if (!IsWindowVisible(hwnd)) {
            if (!picture.pixels.empty()) break;  // hidden after it was seen: its last picture
            Sleep(20);
            continue;
        }
        if (!Capture(hwnd, last)) break;
        bool settled = last.Painted() && last.pixels == picture.pixels;
        picture = last;  // taken while the window was still there
        if (settled) break;
        Sleep(40);
    }
    if (picture.pixels.empty())
        return std::fprintf(stderr, "the window was gone before its picture (%lu ms)\n", GetTickCount() - start), 1;
    if (!Save(picture, file)) return std::fprintf(stderr, "cannot write %s\n", file), 1;
    if (!picture.Painted()) return std::fprintf(stderr, "the window showed nothing painted\n"), 3;
    return 0;
}

int Device(HWND hwnd, const char* path)
{
    std::vector<char> buffer(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) + std::strlen(path), 0);
    auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(buffer.data());
    broadcast->dbcc_size = static_cast<DWORD>(buffer.size());
    broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    broadcast->dbcc_classguid = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
    std::strcpy(broadcast->dbcc_name, path);
    DWORD_PTR result = 0;
    // The receiver may run the whole installation inside this message; it is
    // enough that the message was delivered.
    SendMessageTimeoutA(hwnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(broadcast), SMTO_NORMAL, 500,
                        &result);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** wargv)
{
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        char text[1024] = {};
        WideCharToMultiByte(CP_ACP, 0, wargv[i], -1, text, sizeof text, nullptr, nullptr);
        args.emplace_back(text);
    }
    auto need = [&](size_t count) {
        if (args.size() < count + 2) {
            std::fprintf(stderr, "usage: see the head of automate.cpp\n");
            std::exit(2);
        }
    };
    if (args.size() < 2) need(1);
    const std::string& command = args[1];

    if (command == "wait") {
        need(3);
        HWND found = Find(args[2], args[3], false, static_cast<DWORD>(std::atoi(args[4].c_str())));
        if (found == nullptr) return std::fprintf(stderr, "no window \"%s\" with \"%s\"\n", args[2].c_str(), args[3].c_str()), 1;
        At();
        // Shown windows are painted by the time they are found: Setup paints
        // its wait window before it blocks.
        Print(found);
        if (args.size() > 5) return Shot(found, args[5].c_str());
        return 0;
    }
    if (command == "box") {
        need(2);
        HWND found = Find("", args[2], true, static_cast<DWORD>(std::atoi(args[3].c_str())));
        if (found == nullptr) return std::fprintf(stderr, "no message box with \"%s\"\n", args[2].c_str()), 1;
        At();
        Search search{"", args[2], true, nullptr};
        EnumChildWindows(found, ChildHasText, reinterpret_cast<LPARAM>(&search));
        std::printf("%llx\n%s\n%s\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(found)),
                    Escaped(Text(found)).c_str(), Escaped(Text(search.found)).c_str());
        return 0;
    }
    if (command == "gone") {
        need(2);
        HWND hwnd = Handle(args[2].c_str());
        DWORD start = GetTickCount(), timeout = static_cast<DWORD>(std::atoi(args[3].c_str()));
        while (IsWindow(hwnd) && IsWindowVisible(hwnd)) {
            if (GetTickCount() - start > timeout) return std::fprintf(stderr, "still there\n"), 1;
            Sleep(10);
        }
        return 0;
    }
    if (command == "texts") {
        need(1);
        EnumChildWindows(Handle(args[2].c_str()), PrintChild, 0);
        return 0;
    }
    if (command == "items") {
        need(2);
        return Items(Handle(args[2].c_str()), std::atoi(args[3].c_str()));
    }
    if (command == "text") {
        need(2);
        HWND control = GetDlgItem(Handle(args[2].c_str()), std::atoi(args[3].c_str()));
        wchar_t wide[1024] = {};
        DWORD_PTR copied = 0;
        if (control == nullptr || !SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(wide),
                                                       SMTO_NORMAL, 2000, &copied))
            return std::fprintf(stderr, "no text\n"), 1;
        char text[2048] = {};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        std::printf("%s\n", Escaped(text).c_str());
        return 0;
    }
    if (command == "lines") {
        need(2);
        return Lines(Handle(args[2].c_str()), std::atoi(args[3].c_str()));
    }
    if (command == "click") {
        need(2);
        HWND dialog = Handle(args[2].c_str());
        int id = std::atoi(args[3].c_str());
        At();
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
        return 0;
    }
    if (command == "key") {
        need(2);
        HWND hwnd = Handle(args[2].c_str());
        WPARAM key = static_cast<WPARAM>(std::strtoul(args[3].c_str(), nullptr, 0));
        PostMessageA(hwnd, WM_KEYDOWN, key, 1);
        PostMessageA(hwnd, WM_KEYUP, key, 0xC0000001);
        return 0;
    }
    if (command == "device") {
        need(2);
        return Device(Handle(args[2].c_str()), args[3].c_str());
    }
    if (command == "rect") {
        need(1);
        RECT rect;
        if (!GetWindowRect(Handle(args[2].c_str()), &rect)) return std::fprintf(stderr, "no window\n"), 1;
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        return 0;
    }
    if (command == "memory") {
        need(1);
        DWORD process = 0;
        GetWindowThreadProcessId(Handle(args[2].c_str()), &process);
        HANDLE target = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process);
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (target == nullptr || !GetProcessMemoryInfo(target, &counters, sizeof counters))
            return std::fprintf(stderr, "no memory counters\n"), 1;
        CloseHandle(target);
        std::printf("%llu\n", static_cast<unsigned long long>(counters.PeakWorkingSetSize));
        return 0;
    }
    if (command == "version") {
        // GetVersionEx would answer what this program's manifest lets it see;
        // ntdll's own call answers the version Wine is set to report.
        typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
        auto getVersion = reinterpret_cast<RtlGetVersionFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (getVersion == nullptr || getVersion(&info) != 0) return std::fprintf(stderr, "no version\n"), 1;
        std::printf("%lu.%lu\n", info.dwMajorVersion, info.dwMinorVersion);
        return 0;
    }
    if (command == "shot") {
        need(2);
        return Shot(Handle(args[2].c_str()), args[3].c_str());
    }
    std::fprintf(stderr, "unknown command %s\n", command.c_str());
    return 2;
}
