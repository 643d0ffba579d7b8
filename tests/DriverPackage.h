// Our sample driver package, as the scenarios lay it out in the folder that
// setup starts from: placeholder files with the right names.
#pragma once
#include <algorithm>
#include <string>
#include <vector>

#include "tests/sim/SimFiles.h"

// Unidrv's modules, which the driver record names and which a fresh
// Windows 8 or 10 does not have: the package brings them.
inline const std::vector<std::string> kUnidrvFiles = {"unidrv.dll", "unidrvui.dll", "unidrv.hlp",
                                                       "unires.dll", "stdnames.gpd", "TTFSUB.gpd"};
// The files that the staging copies: every file of the driver record, the
// INF file with its catalog, the help file and the uninstaller.
inline const std::vector<std::string> kPackageFiles = {
    "ESC_QRT_BILL.GPD", "ESC_QRT_BILL.dll", "unidrv.dll",      "unidrvui.dll", "unidrv.hlp",    "unires.dll",
    "stdnames.gpd",     "TTFSUB.gpd",       "CORVEX_ESCP.INF", "CORVEX_ESCP.CAT", "Corvex.HLP",   "Uninstall.exe"};
inline const std::string kStatusMonitorSource = "STM\\QL70TILLMATE(ESCP).exe";
inline const std::string kPackageCatalog = "CORVEX_ESCP.CAT";

// The INF as the driver store reads it: a [Manufacturer] section, and in
// [Version] the given entry, which names the catalog that signs the package
// (or none, empty).
inline std::string PackageInf(const std::string& catalogEntry)
{
    return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
           "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\nProvider=%Corvantis%\r\n" +
           catalogEntry + "\r\n\r\n[Manufacturer]\r\n%Corvantis%=Corvantis,NTamd64,NTx86\r\n\r\n[Strings]\r\n"
           "Corvantis=\"Corvantis\"\r\n";
}
inline const std::string kPackageInf = PackageInf("CatalogFile=CORVEX_ESCP.CAT");

// What each file of the package holds: the INF its text, the others
// "package file <name>".
inline std::string PackageContent(const std::string& name)
{
    return name == "CORVEX_ESCP.INF" ? kPackageInf : "package file " + name;
}

// The package in the current folder, each file holding its PackageContent,
// with the status monitor unless told otherwise, without the files `leftOut`.
inline void AddDriverPackage(SimFiles& files, const std::vector<std::string>& leftOut = {}, bool statusMonitor = true)
{
    for (const std::string& name : kPackageFiles)
        if (std::find(leftOut.begin(), leftOut.end(), name) == leftOut.end())
            files.AddFile(files.currentDirectory + "\\" + name, PackageContent(name));
    if (statusMonitor) files.AddFile(files.currentDirectory + "\\" + kStatusMonitorSource, "status monitor");
}
