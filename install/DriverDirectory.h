// The spooler's printer-driver directory of the local machine for the current
// environment, as the wait window's staging and the installer query it.
#pragma once
#include <memory>

// An owned ANSI path, none until a query has filled it.
using DriverPath = std::unique_ptr<char[]>;

// Asks the spooler in two calls: a 10-byte buffer first, to learn the size it
// needs, then a buffer of exactly that size. Answers true when `directory`
// holds the path now; a failed query leaves it as it was.
bool QueryDriverDirectory(DriverPath& directory);
