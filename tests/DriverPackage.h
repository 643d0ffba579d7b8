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
// INF file, the help file and the uninstaller.
inline const std::vector<std::string> kPackageFiles = {
    "ESC_QRT_BILL.GPD", "ESC_QRT_BILL.dll", "unidrv.dll",      "unidrvui.dll", "unidrv.hlp",   "unires.dll",
    "stdnames.gpd",     "TTFSUB.gpd",       "CORVEX_ESCP.INF", "Corvex.HLP",   "Uninstall.exe"};
inline const std::string kStatusMonitorSource = "STM\\QL70TILLMATE(ESCP).exe";

// The package in the current folder, each file holding "package file <name>",
// with the status monitor unless told otherwise, without the files `leftOut`.
inline void AddDriverPackage(SimFiles& files, const std::vector<std::string>& leftOut = {}, bool statusMonitor = true)
{
    for (const std::string& name : kPackageFiles)
        if (std::find(leftOut.begin(), leftOut.end(), name) == leftOut.end())
            files.AddFile(files.currentDirectory + "\\" + name, "package file " + name);
    if (statusMonitor) files.AddFile(files.currentDirectory + "\\" + kStatusMonitorSource, "status monitor");
}
