#include "tests/sim/SimText.h"

#include <algorithm>
#include <cstring>

std::string Lower(const std::string& text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return lower;
}

std::string Quoted(const char* text) { return text == nullptr ? "(null)" : "\"" + std::string(text) + "\""; }

std::string FolderOf(const std::string& path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string LeafOf(const std::string& path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> ReadMultiString(const char* list)
{
    std::vector<std::string> entries;
    if (list == nullptr) return entries;
    for (const char* entry = list; *entry != '\0'; entry += std::strlen(entry) + 1) entries.emplace_back(entry);
    return entries;
}

std::string Narrow(PCWSTR text)
{
    std::string narrow;
    for (; text != nullptr && *text != 0; ++text) narrow += static_cast<char>(*text < 256 ? *text : '?');
    return narrow;
}
