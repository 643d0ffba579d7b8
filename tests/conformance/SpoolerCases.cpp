// The print spooler and the device layer.
#include <cstring>

#include "tests/conformance/Cases.h"

namespace {

LPSTR Text(const std::string& text) { return const_cast<LPSTR>(text.c_str()); }

// Where a driver's dependent file lies when the driver is added.
enum class Lies { InDirectory, InVersionFolder, Nowhere };

// A driver of the case's own, named after the case's letter: its files in
// the driver directory, the dependent file where the case puts it, the
// record as the installer fills it, and the spooler's answer.
BOOL AddDriver(Bench& b, char letter, Lies dependent = Lies::InDirectory)
{
    std::string directory = b.DriverDirectory();
    std::string stem = std::string("CONFDRV") + letter;
    std::string name = std::string("Conformance Driver ") + letter;
    std::string data = stem + ".GPD", driver = stem + ".DLL", config = stem + "UI.DLL", extra = stem + ".DEP";
    for (const std::string& file : {data, driver, config}) b.MakeFile(directory + "\\" + file, "placeholder " + file);
    if (dependent == Lies::InDirectory) b.MakeFile(directory + "\\" + extra, "placeholder " + extra);
    if (dependent == Lies::InVersionFolder) b.MakeFile(directory + "\\3\\" + extra, "placeholder " + extra);
    std::string dependents = data + '\0' + extra + '\0' + '\0';
    DRIVER_INFO_6A record{};
    record.cVersion = 3;
    record.pName = Text(name);
    record.pDriverPath = Text(driver);
    record.pDataFile = Text(data);
    record.pConfigFile = Text(config);
    record.pDependentFiles = &dependents[0];
    b.PresetLastError();
    return b.spooler().AddPrinterDriverA(nullptr, 6, reinterpret_cast<LPBYTE>(&record));
}

// A queue record as the installer fills it, on the driver and port given.
struct Queue {
    std::string name, port, driver, processor = "winprint";
    const char* datatype = "RAW";
    HANDLE Add(Bench& b)
    {
        PRINTER_INFO_2A record{};
        record.pPrinterName = Text(name);
        record.pPortName = Text(port);
        record.pDriverName = Text(driver);
        record.pPrintProcessor = Text(processor);
        record.pDatatype = const_cast<LPSTR>(datatype);
        record.Attributes = PRINTER_ATTRIBUTE_DEFAULT | PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST;
        record.Priority = 1;
        b.PresetLastError();
        return b.spooler().AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&record));
    }
};

// Adds the queue, checks the spooler's answer, and leaves no queue behind.
void ExpectQueue(Bench& b, Queue queue, DWORD windows, DWORD wine = 0, const char* why = nullptr)
{
    b.RemoveQueue(queue.name);
    HANDLE printer = queue.Add(b);
    DWORD error = printer == nullptr ? b.process().GetLastError() : 0;
    if (why != nullptr)
        b.Expect("the spooler's answer (0: a queue)", error, windows, wine, why);
    else
        b.Expect("the spooler's answer (0: a queue)", error, windows);
    if (printer != nullptr) b.spooler().ClosePrinter(printer);
    b.RemoveQueue(queue.name);
}

// An INF as Vista's driver store takes it: a [Manufacturer] section, and
// the catalog CONF.CAT named in [Version]; the case's own text ends it, in a
// comment.
const char kInf[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\nClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\n"
    "Provider=Conformance\r\nCatalogFile=CONF.CAT\r\n\r\n[Manufacturer]\r\nConformance=Conformance,NTamd64,NTx86\r\n; ";

BOOL CopyInf(Bench& b, const std::string& path, char* stored, DWORD size, DWORD* required)
{
    b.PresetLastError();
    return b.spooler().SetupCopyOEMInfA(path.c_str(), nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, stored, size,
                                        required, nullptr);
}

// An INF of the case's own in its folder, with the catalog CONF.CAT beside
// it or not.
std::string MakeInf(Bench& b, const std::string& name, const std::string& text, bool catalog)
{
    std::string source = b.Folder() + "\\" + name;
    b.MakeFile(source, text);
    if (catalog) b.MakeFile(b.Folder() + "\\CONF.CAT", "a stand-in catalog");
    return source;
}

// The store's answer to an INF that the Windows given refuses: FALSE with
// `windows`; Wine's store takes any INF (it checks neither its sections nor
// a signature).
// Wine's store takes an INF that Windows refuses, unless `wineToo`.
void ExpectRefused(Bench& b, const std::string& source, DWORD windows, bool wineToo = false)
{
    char stored[MAX_PATH] = {};
    b.PresetLastError();
    BOOL copied = CopyInf(b, source, stored, MAX_PATH, nullptr);
    if (wineToo) {
        b.Expect("stored", copied, FALSE);
        b.LastError(windows);
        return;
    }
    const char* why = "Wine's SetupCopyOEMInf takes any INF, signed or not, with or without [Manufacturer]";
    b.Expect("stored", copied, FALSE, TRUE, why);
    b.LastError(windows, ERROR_SUCCESS, why);
}

// On 32-bit Windows the system asks before it stores an unsigned INF; the
// user's answer decides.
void ExpectAsked(Bench& b, bool installAnyway)
{
    b.UseWindows(6, 1, false);
    b.AnswerSigningQuestion(installAnyway);
    std::string source = MakeInf(b, installAnyway ? "CONFSA.INF" : "CONFSD.INF",
                                 "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n\r\n[Manufacturer]\r\n; " +
                                     std::string(installAnyway ? "install anyway" : "don't install"),
                                 false);
    char stored[MAX_PATH] = {};
    b.PresetLastError();
    b.Expect("stored", CopyInf(b, source, stored, MAX_PATH, nullptr), installAnyway ? TRUE : FALSE);
    if (!installAnyway) b.LastError(ERROR_CANCELLED);
    b.Expect("in the store", installAnyway ? b.Content(stored) != "" : stored[0] == '\0', true);
}

}  // namespace

std::vector<Case> SpoolerCases()
{
    return {
        {"GetPrinterDriverDirectoryA: a 10-byte buffer learns the size, and that size holds the path",
         "Wine test: dlls/winspool.drv/tests/info.c test_GetPrinterDriverDirectory",
         [](Bench& b) {
             BYTE small[10] = {};
             DWORD needed = 0;
             b.PresetLastError();
             b.Expect("first call", b.spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, small, 10, &needed),
                      FALSE);
             b.LastError(ERROR_INSUFFICIENT_BUFFER);
             const DWORD size = needed;
             std::vector<char> path(2 * size + 1, 'Z');
             LPBYTE buffer = reinterpret_cast<LPBYTE>(path.data());
             b.Expect("that size", b.spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, buffer, size, &needed),
                      TRUE);
             b.Expect("the size answered then", needed, size);
             // The ANSI call asks the wide one with the caller's size, so it
             // needs what the path takes in UTF-16.
             const size_t ansi = std::strlen(path.data()) + 1;
             b.Expect("the size needed, in bytes", size, 2 * ansi, ansi,
                      "Wine's GetPrinterDriverDirectoryA answers the ANSI path's own size");
             b.Expect("the path ends in the environment's folder",
                      EndsWith(LowerCase(path.data()), sizeof(void*) == 8 ? "\\spool\\drivers\\x64" : "\\spool\\drivers\\w32x86"),
                      true);
             b.Expect("twice that size", b.spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, buffer, 2 * size,
                                                                                &needed),
                      TRUE);
             b.Expect("the size answered then", needed, size);
             b.PresetLastError();
             b.Expect("a byte less",
                      b.spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, buffer, size - 1, &needed), FALSE);
             b.LastError(ERROR_INSUFFICIENT_BUFFER);
             b.Expect("the size needed then", needed, size);
         }},
        {"EnumPortsA: a 10-byte buffer learns the size, and that size holds every port with its description",
         "Wine test: dlls/winspool.drv/tests/info.c test_EnumPorts",
         [](Bench& b) {
             BYTE small[10] = {};
             DWORD needed = 0, returned = 99;
             b.PresetLastError();
             b.Expect("first call", b.spooler().EnumPortsA(nullptr, 2, small, 10, &needed, &returned), FALSE);
             b.LastError(ERROR_INSUFFICIENT_BUFFER);
             b.Expect("a level-2 entry alone needs more than 10 bytes", needed > 10, true);
             std::vector<BYTE> buffer(needed);
             b.Expect("second call", b.spooler().EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &returned), TRUE);
             b.Expect("entries", returned > 0 && returned * sizeof(PORT_INFO_2A) <= buffer.size(), true);
             const PORT_INFO_2A* ports = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
             bool inside = true, lpt1 = false;
             for (DWORD i = 0; i < returned; ++i) {
                 for (const char* text : {ports[i].pPortName, ports[i].pDescription})
                     inside &= text != nullptr && reinterpret_cast<const BYTE*>(text) >= buffer.data() &&
                               reinterpret_cast<const BYTE*>(text) + std::strlen(text) < buffer.data() + buffer.size();
                 lpt1 |= inside && std::strcmp(ports[i].pPortName, "LPT1:") == 0;
             }
             b.Expect("every name and description lies in the buffer", inside, true);
             b.Expect("LPT1: is among them", lpt1, true);
         }},
        {"EnumPortsA with no port at all succeeds at once, with no entry",
         "none",
         [](Bench& b) {
             b.RemovePorts();
             BYTE small[10] = {};
             DWORD needed = 99, returned = 99;
             b.Expect("answered", b.spooler().EnumPortsA(nullptr, 2, small, 10, &needed, &returned), TRUE);
             b.Expect("entries", returned, 0);
         },
         nullptr, "a Wine prefix always has its local ports, and removing one asks the user"},
        {"AddPrinterDriverA takes the record's files from the driver directory into its version folder",
         "documentation: AddPrinterDriverA",
         [](Bench& b) {
             b.Expect("registered", AddDriver(b, 'A'), TRUE);
             for (const char* file : {"CONFDRVA.GPD", "CONFDRVA.DLL", "CONFDRVAUI.DLL", "CONFDRVA.DEP"})
                 b.Expect(file, b.FileExists(b.DriverDirectory() + "\\3\\" + file), true);
         }},
        {"AddPrinterDriverA takes a dependent file that its version folder has already",
         "none",
         [](Bench& b) {
             b.Expect("registered", AddDriver(b, 'B', Lies::InVersionFolder), TRUE);
         }},
        {"AddPrinterDriverA refuses a dependent file that is in neither folder",
         "none",
         [](Bench& b) {
             BOOL added = AddDriver(b, 'C', Lies::Nowhere);
             b.Expect("registered", added, FALSE, TRUE, "Wine's spooler copies the files it finds and ignores the rest");
             if (!added) b.LastError(ERROR_FILE_NOT_FOUND);
         }},
        {"AddPrinterA creates a queue from the installer's record, and answers ERROR_PRINTER_ALREADY_EXISTS after",
         "none",
         [](Bench& b) {
             AddDriver(b, 'Q');
             Queue queue{"Conformance Queue", "LPT1:", "Conformance Driver Q"};
             b.RemoveQueue(queue.name);
             HANDLE first = queue.Add(b);
             b.Expect("a queue", first != nullptr, true);
             if (first != nullptr) b.Expect("its handle closes", b.spooler().ClosePrinter(first), TRUE);
             HANDLE second = queue.Add(b);
             b.Expect("the same name again", second != nullptr, false, true,
                      "Wine's AddPrinter opens a queue of that name that exists");
             if (second == nullptr) b.LastError(ERROR_PRINTER_ALREADY_EXISTS);
             if (second != nullptr) b.spooler().ClosePrinter(second);
             b.RemoveQueue(queue.name);
         }},
        {"AddPrinterA without a data type takes the print processor's default",
         "none",
         [](Bench& b) {
             AddDriver(b, 'R');
             Queue queue{"Conformance Queue R", "LPT1:", "Conformance Driver R"};
             queue.datatype = nullptr;
             ExpectQueue(b, queue, 0, ERROR_INVALID_PARAMETER, "Wine's AddPrinter wants a data type");
         }},
        {"AddPrinterA refuses a port that the spooler does not know",
         "none",
         [](Bench& b) {
             AddDriver(b, 'S');
             ExpectQueue(b, {"Conformance Queue S", "CONFNOPORT:", "Conformance Driver S"}, ERROR_UNKNOWN_PORT, 0,
                         "Wine's AddPrinter takes any port name");
         }},
        {"AddPrinterA refuses a driver that the spooler does not know",
         "none",
         [](Bench& b) {
             ExpectQueue(b, {"Conformance Queue T", "LPT1:", "Conformance No Such Driver"}, ERROR_UNKNOWN_PRINTER_DRIVER,
                         ERROR_INVALID_PARAMETER, "Wine's AddPrinter answers an unknown driver with 87");
         }},
        {"AddPrinterA refuses an unknown print processor",
         "none",
         [](Bench& b) {
             AddDriver(b, 'U');
             Queue queue{"Conformance Queue U", "LPT1:", "Conformance Driver U", "confprocessor"};
             ExpectQueue(b, queue, ERROR_UNKNOWN_PRINTPROCESSOR, ERROR_INVALID_PARAMETER,
                         "Wine's AddPrinter answers a print processor it does not have with 87");
         }},
        {"AddPrinterA refuses a data type that the print processor does not have",
         "none",
         [](Bench& b) {
             AddDriver(b, 'V');
             Queue queue{"Conformance Queue V", "LPT1:", "Conformance Driver V"};
             queue.datatype = "CONFDATATYPE";
             ExpectQueue(b, queue, ERROR_INVALID_DATATYPE, 0, "Wine's AddPrinter takes any data type");
         }},
        {"SetDefaultPrinterA makes a queue the default, and refuses a name that is none",
         "Wine test: dlls/winspool.drv/tests/info.c test_SetDefaultPrinter",
         [](Bench& b) {
             AddDriver(b, 'W');
             Queue queue{"Conformance Queue W", "LPT1:", "Conformance Driver W"};
             b.RemoveQueue(queue.name);
             HANDLE printer = queue.Add(b);
             if (printer != nullptr) b.spooler().ClosePrinter(printer);
             b.Expect("an existing queue", b.spooler().SetDefaultPrinterA(queue.name.c_str()), TRUE);
             b.PresetLastError();
             b.Expect("no such queue", b.spooler().SetDefaultPrinterA("Conformance No Such Queue"), FALSE);
             b.LastError(ERROR_INVALID_PRINTER_NAME);
             b.RemoveQueue(queue.name);
         }},
        {"ClosePrinter refuses a handle that the spooler did not give",
         "Wine test: dlls/winspool.drv/tests/info.c test_ClosePrinter",
         [](Bench& b) {
             b.PresetLastError();
             b.Expect("closed", b.spooler().ClosePrinter(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x4A5A))), FALSE);
             b.LastError(ERROR_INVALID_HANDLE);
         }},
        {"SetupCopyOEMInfA stores an INF file as oemN.inf once; the same file again answers ERROR_FILE_EXISTS",
         "documentation: SetupCopyOEMInfA",
         [](Bench& b) {
             std::string source = MakeInf(b, "CONFA.INF", kInf + std::string("stored once"), true);
             char stored[MAX_PATH] = {};
             DWORD required = 0;
             b.Expect("first copy", CopyInf(b, source, stored, MAX_PATH, &required), TRUE);
             std::string name = LowerCase(stored);
             std::string store = LowerCase(b.InfStore()) + "\\";
             const char* kind = name.rfind(store + "oem", 0) == 0 && EndsWith(name, ".inf") ? "oemN.inf"
                                : name == store + "confa.inf"                                ? "its own name"
                                                                                             : stored;
             b.Expect("stored in the store as", std::string(kind), "oemN.inf", "its own name",
                      "Wine's SetupCopyOEMInf keeps the file's own name");
             b.Expect("the size of that name", required, std::strlen(stored) + 1);
             b.Expect("the copy's content", b.Content(stored), kInf + std::string("stored once"));
             b.Expect("second copy", CopyInf(b, source, stored, MAX_PATH, &required), FALSE);
             b.LastError(ERROR_FILE_EXISTS);
         }},
        {"SetupCopyOEMInfA with a source that does not exist",
         "Wine test: dlls/setupapi/tests/misc.c test_SetupCopyOEMInf",
         [](Bench& b) {
             char stored[MAX_PATH] = {};
             b.Expect("copied", CopyInf(b, b.Folder() + "\\CONFNONE.INF", stored, MAX_PATH, nullptr), FALSE);
             b.LastError(ERROR_FILE_NOT_FOUND);
         }},
        {"SetupCopyOEMInfA with too small a buffer for the stored name answers the size it needs",
         "documentation: SetupCopyOEMInfA",
         [](Bench& b) {
             std::string source = MakeInf(b, "CONFB.INF", kInf + std::string("too small a buffer"), true);
             char stored[8] = {};
             DWORD required = 0;
             b.Expect("copied", CopyInf(b, source, stored, sizeof stored, &required), FALSE);
             b.LastError(ERROR_INSUFFICIENT_BUFFER);
             b.Expect("the size needed is more", required > sizeof stored, true);
         }},
        {"SetupCopyOEMInfA refuses an INF without a [Manufacturer] section, as Vista and 7 answer it",
         "Wine test: dlls/setupapi/tests/misc.c test_SetupCopyOEMInf",
         [](Bench& b) {
             std::string inf = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\nCatalogFile=CONF.CAT\r\n; ";
             b.UseWindows(6, 0, true);
             ExpectRefused(b, MakeInf(b, "CONFMV.INF", inf + "Vista", true), ERROR_WRONG_INF_TYPE);
             b.UseWindows(6, 1, true);
             ExpectRefused(b, MakeInf(b, "CONFM7.INF", inf + "7", true), ERROR_UNSUPPORTED_TYPE);
         }},
        {"SetupCopyOEMInfA on 64-bit Windows refuses an INF whose [Version] names no catalog",
         "report: ERROR_NO_CATALOG_FOR_OEM_INF (0xE000022F) from driver installs on 64-bit Windows 10 and 11",
         [](Bench& b) {
             b.UseWindows(6, 2, true);
             std::string inf = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\nCatalogFile.NTx86=CONF.CAT\r\n"
                               "\r\n[Manufacturer]\r\n; no catalog of its own";
             ExpectRefused(b, MakeInf(b, "CONFNC.INF", inf, true), ERROR_NO_CATALOG_FOR_OEM_INF);
         }},
        // Which error Windows gives is our belief: the store copies the named
        // catalog with the INF (as setupapi.dev.log shows), and a copy of a
        // file that is not there fails with ERROR_FILE_NOT_FOUND. Wine's
        // store, which copies the catalog too, answers so.
        {"SetupCopyOEMInfA on 64-bit Windows refuses an INF whose named catalog is not beside it",
         "report: microsoft/Windows-driver-samples issue 21, setupapi.dev.log: the store copies the catalog with the INF",
         [](Bench& b) {
             b.UseWindows(6, 2, true);
             ExpectRefused(b, MakeInf(b, "CONFMC.INF", kInf + std::string("its catalog missing"), false),
                           ERROR_FILE_NOT_FOUND, true);
         }},
        {"SetupCopyOEMInfA on 32-bit Windows stores an unsigned INF when the user answers Install this driver software "
         "anyway",
         "documentation: SetupCopyOEMInf",
         [](Bench& b) { ExpectAsked(b, true); }, nullptr,
         "only the simulated machine has a user who answers the system's signing question; Wine asks none"},
        // ERROR_CANCELLED for the declined question is our belief: nothing
        // here shows which error Windows gives then.
        {"SetupCopyOEMInfA on 32-bit Windows stores nothing when the user answers Don't install this driver software",
         "none",
         [](Bench& b) { ExpectAsked(b, false); }, nullptr,
         "only the simulated machine has a user who answers the system's signing question; Wine asks none"},
        {"RegisterDeviceNotificationA registers a window for an interface class, and the registration is released",
         "Wine test: dlls/dinput/tests/hotplug.c test_RegisterDeviceNotification",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_CONTROLS);
             DEV_BROADCAST_DEVICEINTERFACE_A filter{};
             filter.dbcc_size = sizeof filter;
             filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
             filter.dbcc_classguid = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
             HDEVNOTIFY registration =
                 b.spooler().RegisterDeviceNotificationA(dialog, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
             b.Expect("registered", registration != nullptr, true);
             b.Expect("released", b.spooler().UnregisterDeviceNotification(registration), TRUE);
         }},
    };
}
