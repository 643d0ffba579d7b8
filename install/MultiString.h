// The platform's lists of names: each name with its NUL, and an empty name
// (a second NUL) at the end. The shell's copy lists and the driver's
// dependent files are passed this way.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

// Exactly as long as the list, so that a reader that runs past its end leaves
// the buffer instead of finding a stray NUL in spare capacity. Throws
// std::bad_alloc like any container.
inline std::vector<char> MultiString(std::initializer_list<std::string> names)
{
    size_t size = 1;
    for (const std::string& name : names) size += name.size() + 1;
    std::vector<char> list;
    list.reserve(size);
    for (const std::string& name : names) {
        list.insert(list.end(), name.begin(), name.end());
        list.push_back('\0');
    }
    list.push_back('\0');
    return list;
}
