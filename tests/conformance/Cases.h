// What the areas of the conformance table share.
#pragma once
#include <string>
#include <vector>

#include "tests/conformance/Bench.h"
#include "tests/conformance/Templates.h"

std::vector<Case> SpoolerCases();
std::vector<Case> RegistryCases();
std::vector<Case> ShellCases();
std::vector<Case> ProcessCases();
std::vector<Case> WindowCases();

inline std::string LowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

inline bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A dialog procedure for the cases: answers WM_INITDIALOG as it is told and
// remembers what it was given; every other message goes on to the dialog
// manager.
class Procedure : public IMessageTarget {
public:
    explicit Procedure(BOOL initAnswer = TRUE) : m_initAnswer(initAnswer) {}
    bool OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM, LRESULT& result) override
    {
        if (message != WM_INITDIALOG) return false;
        initialised = hwnd;
        initialFocus = reinterpret_cast<HWND>(wParam);
        if (onInit != nullptr) onInit(*this, hwnd);
        result = m_initAnswer;
        return handlesInit;
    }
    bool OnPreTranslateMessage(MSG*) override { return false; }

    HWND initialised = nullptr;
    HWND initialFocus = nullptr;
    // Runs inside WM_INITDIALOG, with the dialog's window.
    void (*onInit)(Procedure& self, HWND dialog) = nullptr;
    Bench* bench = nullptr;
    HWND related = nullptr;
    long long observed = -1;
    // False: the procedure leaves WM_INITDIALOG to the dialog manager.
    bool handlesInit = true;

private:
    BOOL m_initAnswer;
};

// A dialog of the table's own templates for one case: made with a procedure
// that answers WM_INITDIALOG as told, and destroyed when the case is done
// with it (a destroyed one answers no, which the case may be looking at).
class CaseDialog {
public:
    CaseDialog(Bench& bench, UINT templateId, BOOL initAnswer = TRUE)
        : m_bench(bench), procedure(initAnswer), hwnd(bench.windows().CreateDialogParam(templateId, nullptr, &procedure))
    {
    }
    ~CaseDialog() { m_bench.windows().DestroyWindow(hwnd); }
    CaseDialog(const CaseDialog&) = delete;
    CaseDialog& operator=(const CaseDialog&) = delete;
    HWND Item(int id) { return m_bench.windows().GetDlgItem(hwnd, id); }
    operator HWND() const { return hwnd; }

private:
    Bench& m_bench;

public:
    Procedure procedure;
    HWND hwnd;
};

