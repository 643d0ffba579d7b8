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
// The code pages that the machine models: 1252, the ANSI code page of a
// Western European system, UTF-8 (65001), which Windows 10 and 11 can take
// as the ANSI code page, and part of 932, Japanese (see SimText.cpp).
// Others are refused with a logic_error: the machine does not guess a
// conversion table.
constexpr UINT kWesternCodePage = 1252;
constexpr UINT kUtf8CodePage = 65001;
constexpr UINT kJapaneseCodePage = 932;
// 8-bit text in one of those code pages as UTF-16. UTF-8 that is not well
// formed gives U+FFFD for each byte that cannot start a character, as
// Windows does from Vista on; `invalid` then tells so.
std::u16string Widen(const std::string& text, UINT codePage, bool* invalid = nullptr);
// UTF-16 in the machine's ANSI code page, as the file system's A forms see
// a name; a character the code page lacks becomes '?'.
std::string Narrow(PCWSTR text, UINT codePage = kWesternCodePage);
// UTF-16 as UTF-8, for the call record: what reached the system, exactly.
std::string Utf8(PCWSTR text);
