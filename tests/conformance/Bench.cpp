#include "tests/conformance/Bench.h"

#include <cstdio>

#include "tests/conformance/Cases.h"

std::string Quote(const std::string& text)
{
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            quoted += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            quoted += escaped;
        }
    }
    return quoted + "\"";
}

void Bench::Compare(const char* what, const std::string& actual, const std::string& windows, const std::string* wine,
                    const char* why)
{
    const std::string& expected = OnWine() && wine != nullptr ? *wine : windows;
    if (actual != expected) {
        failures.push_back(std::string(what) + ": " + actual + ", expected " + expected +
                           (wine != nullptr && !OnWine() ? " (Windows; Wine answers " + *wine + ")" : ""));
    } else if (OnWine() && wine != nullptr && *wine != windows) {
        differences.push_back(std::string(what) + ": Windows " + windows + ", Wine " + *wine + ": " + why);
    }
}

std::string Bench::DriverDirectory()
{
    char path[MAX_PATH * 2] = {};
    DWORD needed = 0;
    if (!spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(path), sizeof path,
                                              &needed))
        failures.push_back("the driver directory could not be asked for");
    return path;
}

std::vector<Case> ConformanceCases()
{
    std::vector<Case> all;
    for (std::vector<Case> (*area)() : {SpoolerCases, RegistryCases, ShellCases, ProcessCases, WindowCases}) {
        std::vector<Case> cases = area();
        all.insert(all.end(), cases.begin(), cases.end());
    }
    return all;
}
