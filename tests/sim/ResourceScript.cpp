#include "tests/sim/ResourceScript.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::string Trim(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return std::string();
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

// Splits at commas outside quotes; quoted texts lose their quotes and have
// their escapes (\n, \", "") resolved. A quoted field is marked with a
// leading '\x01' so that it can be told from a symbol.
std::vector<std::string> Fields(const std::string& text)
{
    std::vector<std::string> fields;
    std::string current;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '\\' && i + 1 < text.size()) {
                char next = text[++i];
                current += next == 'n' ? '\n' : next == 't' ? '\t' : next;
            } else if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                current += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == '"') {
            quoted = true;
            current += '\x01';
        } else if (c == ',') {
            fields.push_back(Trim(current));
            current.clear();
        } else {
            current += c;
        }
    }
    fields.push_back(Trim(current));
    return fields;
}

bool IsQuoted(const std::string& field) { return !field.empty() && field[0] == '\x01'; }
std::string Unquoted(const std::string& field) { return IsQuoted(field) ? field.substr(1) : field; }

std::set<std::string> Styles(const std::string& expression)
{
    std::set<std::string> styles;
    std::stringstream parts(expression);
    std::string part;
    while (std::getline(parts, part, '|')) {
        part = Trim(part);
        if (!part.empty() && part != "0") styles.insert(part);
    }
    return styles;
}

}  // namespace

const ResourceScript& ResourceScript::Program()
{
    static const ResourceScript script(SETUP_RESOURCE_SCRIPT, SETUP_RESOURCE_HEADER);
    return script;
}

int ResourceScript::Number(const std::string& token) const
{
    std::string name = Trim(token);
    auto symbol = m_symbols.find(name);
    if (symbol != m_symbols.end()) return symbol->second;
    if (name == "IDOK") return 1;
    if (name == "IDCANCEL") return 2;
    if (name == "IDC_STATIC") return -1;
    try {
        return std::stoi(name, nullptr, 0);
    } catch (const std::exception&) {
        throw std::runtime_error("resource script: unknown symbol " + name);
    }
}

ResourceScript::ResourceScript(const std::string& scriptPath, const std::string& headerPath)
{
    std::ifstream header(headerPath);
    if (!header) throw std::runtime_error("cannot read " + headerPath);
    std::string line;
    while (std::getline(header, line)) {
        std::istringstream words(line);
        std::string directive, name, value;
        if (words >> directive >> name >> value && directive == "#define") m_symbols[name] = std::stoi(value, nullptr, 0);
    }

    std::ifstream script(scriptPath);
    if (!script) throw std::runtime_error("cannot read " + scriptPath);
    RcDialog* dialog = nullptr;
    bool inBody = false;
    while (std::getline(script, line)) {
        line = Trim(line);
        if (line.empty() || line.rfind("//", 0) == 0 || line[0] == '#') continue;
        std::istringstream words(line);
        std::string first, second;
        words >> first >> second;

        if (dialog == nullptr) {
            if (second == "DIALOGEX") {
                std::vector<std::string> rect = Fields(line.substr(line.find("DIALOGEX") + 8));
                RcDialog& created = dialogs[Number(first)];
                created.id = Number(first);
                created.x = Number(rect.at(0));
                created.y = Number(rect.at(1));
                created.width = Number(rect.at(2));
                created.height = Number(rect.at(3));
                dialog = &created;
                inBody = false;
            } else if (second == "BITMAP") {
                bitmaps[Number(first)] = Unquoted(Fields(line.substr(line.find("BITMAP") + 6)).at(0));
            } else if (second == "ICON") {
                icons[Number(first)] = Unquoted(Fields(line.substr(line.find("ICON") + 4)).at(0));
            } else if (second == "RT_MANIFEST") {
                manifest = Unquoted(Fields(line.substr(line.find("RT_MANIFEST") + 11)).at(0));
            }
            continue;
        }

        std::string rest = Trim(line.substr(first.size()));
        if (first == "STYLE") {
            dialog->styles = Styles(rest);
        } else if (first == "EXSTYLE") {
            dialog->extendedStyles = Styles(rest);
        } else if (first == "CAPTION") {
            dialog->caption = Unquoted(Fields(rest).at(0));
        } else if (first == "FONT") {
            std::vector<std::string> font = Fields(rest);
            dialog->fontSize = Number(font.at(0));
            dialog->font = Unquoted(font.at(1));
        } else if (first == "BEGIN") {
            inBody = true;
        } else if (first == "END") {
            dialog = nullptr;
        } else if (inBody && first == "CONTROL") {
            std::vector<std::string> fields = Fields(rest);
            if (fields.size() != 8) throw std::runtime_error("resource script: CONTROL needs 8 fields: " + line);
            RcControl control;
            if (IsQuoted(fields[0]))
                control.text = Unquoted(fields[0]);
            else
                control.imageId = Number(fields[0]);
            control.id = Number(fields[1]);
            control.className = Unquoted(fields[2]);
            control.styles = Styles(fields[3]);
            control.x = Number(fields[4]);
            control.y = Number(fields[5]);
            control.width = Number(fields[6]);
            control.height = Number(fields[7]);
            dialog->controls.push_back(control);
        }
    }
}

const RcDialog* ResourceScript::Dialog(int id) const
{
    auto found = dialogs.find(id);
    return found != dialogs.end() ? &found->second : nullptr;
}
