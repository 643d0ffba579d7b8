#include "tests/sim/SimText.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <stdexcept>

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

namespace {

// Code page 1252 differs from Latin-1 in 0x80 to 0x9F; its five unassigned
// bytes map to the C1 controls of the same value, as Windows maps them.
const char16_t kWestern80To9F[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void RefuseUnmodelled(UINT codePage)
{
    if (codePage != kWesternCodePage && codePage != kUtf8CodePage && codePage != kJapaneseCodePage)
        throw std::logic_error("the simulated machine has no table for code page " + std::to_string(codePage));
}

// The part of code page 932 that the machine knows: ASCII, the half-width
// katakana (0xA1 to 0xDF), and of the double-byte characters the full-width
// digits and Latin letters and the katakana. Anything else is refused with a
// logic_error rather than guessed.
struct JapaneseRange {
    unsigned first, last;  // the 932 characters, lead byte in the high byte
    char16_t wide;         // what the first one is in UTF-16
};
const JapaneseRange kJapanese[] = {
    {0x00, 0x7F, 0x0000},     {0xA1, 0xDF, 0xFF61},     {0x824F, 0x8258, 0xFF10}, {0x8260, 0x8279, 0xFF21},
    {0x8281, 0x829A, 0xFF41}, {0x8340, 0x837E, 0x30A1}, {0x8380, 0x8396, 0x30E0},
};

bool JapaneseLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

[[noreturn]] void RefuseJapanese(unsigned character)
{
    throw std::logic_error("the simulated machine has no table for character " + std::to_string(character) +
                           " of code page 932");
}

std::u16string WidenJapanese(const std::string& text)
{
    std::u16string wide;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned c = static_cast<unsigned char>(text[i]);
        if (JapaneseLead(static_cast<unsigned char>(c)) && i + 1 < text.size())
            c = (c << 8) | static_cast<unsigned char>(text[++i]);
        const JapaneseRange* range = std::find_if(std::begin(kJapanese), std::end(kJapanese),
                                                  [c](const JapaneseRange& r) { return c >= r.first && c <= r.last; });
        if (range == std::end(kJapanese)) RefuseJapanese(c);
        wide += static_cast<char16_t>(range->wide + (c - range->first));
    }
    return wide;
}

std::string NarrowJapanese(PCWSTR text)
{
    std::string narrow;
    for (; text != nullptr && *text != 0; ++text) {
        char16_t c = *text;
        const JapaneseRange* range =
            std::find_if(std::begin(kJapanese), std::end(kJapanese),
                         [c](const JapaneseRange& r) { return c >= r.wide && c <= r.wide + (r.last - r.first); });
        if (range == std::end(kJapanese)) {
            narrow += '?';
            continue;
        }
        unsigned character = range->first + (c - range->wide);
        if (character > 0xFF) narrow += static_cast<char>(character >> 8);
        narrow += static_cast<char>(character & 0xFF);
    }
    return narrow;
}

void AppendUtf16(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

}  // namespace

std::u16string Widen(const std::string& text, UINT codePage, bool* invalid)
{
    RefuseUnmodelled(codePage);
    std::u16string wide;
    if (invalid != nullptr) *invalid = false;
    if (codePage == kJapaneseCodePage) return WidenJapanese(text);
    if (codePage == kWesternCodePage) {
        for (unsigned char c : text) wide += c >= 0x80 && c < 0xA0 ? kWestern80To9F[c - 0x80] : char16_t(c);
        return wide;
    }
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                      : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool wellFormed = length != 0 && i + length <= text.size();
        for (size_t k = 1; wellFormed && k < length; ++k) {
            unsigned char trail = static_cast<unsigned char>(text[i + k]);
            wellFormed = (trail & 0xC0) == 0x80;
            c = (c << 6) | (trail & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters.
        wellFormed = wellFormed && !(length == 3 && (c < 0x800 || (c >= 0xD800 && c < 0xE000))) &&
                     !(length == 4 && (c < 0x10000 || c > 0x10FFFF));
        if (!wellFormed) {
            if (invalid != nullptr) *invalid = true;
            wide += u'\xFFFD';
            ++i;
            continue;
        }
        AppendUtf16(wide, c);
        i += length;
    }
    return wide;
}

std::string Narrow(PCWSTR text, UINT codePage)
{
    RefuseUnmodelled(codePage);
    if (codePage == kUtf8CodePage) return Utf8(text);
    if (codePage == kJapaneseCodePage) return NarrowJapanese(text);
    std::string narrow;
    for (; text != nullptr && *text != 0; ++text) {
        char16_t c = *text;
        if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
            narrow += static_cast<char>(c);
            continue;
        }
        const char16_t* found = std::find(std::begin(kWestern80To9F), std::end(kWestern80To9F), c);
        narrow += found != std::end(kWestern80To9F) ? static_cast<char>(0x80 + (found - kWestern80To9F)) : '?';
    }
    return narrow;
}

std::string Utf8(PCWSTR text)
{
    std::string utf8;
    for (; text != nullptr && *text != 0; ++text) {
        char32_t c = *text;
        if (c >= 0xD800 && c < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[1] - 0xDC00);
            ++text;
        }
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (c >> 18));
            utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}
