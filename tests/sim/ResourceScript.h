// The program's resource script, read by the simulated machine so that its
// dialogs have exactly the controls of the real templates.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

struct RcControl {
    std::string text;   // a quoted text, or empty for a picture
    int imageId = 0;    // the picture's resource id, for SS_BITMAP statics
    int id = -1;
    std::string className;
    std::set<std::string> styles;
    int x = 0, y = 0, width = 0, height = 0;
};

struct RcDialog {
    int id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::set<std::string> styles;
    std::set<std::string> extendedStyles;
    std::string caption;
    std::string font;
    int fontSize = 0;
    std::vector<RcControl> controls;
};

class ResourceScript {
public:
    // The script and header named when the tests were built.
    static const ResourceScript& Program();
    ResourceScript(const std::string& scriptPath, const std::string& headerPath);

    const RcDialog* Dialog(int id) const;
    std::map<int, RcDialog> dialogs;
    std::map<int, std::string> bitmaps;  // id -> file
    std::map<int, std::string> icons;    // id -> file
    std::string manifest;                // file of resource 1 RT_MANIFEST

private:
    int Number(const std::string& token) const;
    std::map<std::string, int> m_symbols;
};
