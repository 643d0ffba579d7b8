// Small text helpers that the parts of the simulated machine share.
#pragma once
#include <string>
#include <vector>

#include "platform/Records.h"

// Lower case for the ASCII letters, as names compare in the registry and
// the file system of an English system.
std::string Lower(const std::string& text);
// A call argument: the quoted text, or (null).
std::string Quoted(const char* text);
// The folder part and the last part of a backslash path.
std::string FolderOf(const std::string& path);
std::string LeafOf(const std::string& path);
// Reads a list of names ended by an empty one, as the system does: up to the
// empty entry, however far that is.
std::vector<std::string> ReadMultiString(const char* list);
// The ANSI code page of an English system, taken as Latin-1.
std::string Narrow(PCWSTR text);
