// The conformance table on the simulated machine: every case on a machine of
// its own, held to the answers that Windows documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "tests/conformance/Bench.h"
#include "tests/conformance/Cases.h"
#include "tests/sim/ResourceScript.h"
#include "tests/sim/SimMachine.h"

namespace {

const ResourceScript& Templates()
{
    static const ResourceScript script(SETUP_SOURCE_DIR "/tests/conformance/Conformance.rc",
                                       SETUP_SOURCE_DIR "/tests/conformance/Templates.h");
    return script;
}

class SimBench : public Bench {
public:
    SimBench(SimMachine& machine, const std::string& folder)
        : Bench(machine.Services()), m_machine(machine), m_folder("C:\\conformance\\" + folder)
    {
        machine.windows.resources = &Templates();
    }

    bool OnWine() const override { return false; }
    void PresetLastError() override { m_machine.process.SetLastError(kNoError); }
    std::string Folder() override
    {
        m_machine.files.AddFolder(m_folder);
        return m_folder;
    }
    void MakeFile(const std::string& path, const std::string& content) override { m_machine.files.AddFile(path, content); }
    void MakeFolder(const std::string& path) override { m_machine.files.AddFolder(path); }
    bool FileExists(const std::string& path) override { return m_machine.files.FileExists(path); }
    bool FolderExists(const std::string& path) override { return m_machine.files.FolderExists(path); }
    std::string Content(const std::string& path) override { return m_machine.files.FileContent(path); }
    void ChangeDirectory(const std::string& path) override { m_machine.files.currentDirectory = path; }
    void MakeProgram(const std::string& path) override { m_machine.files.AddFile(path, "a program"); }
    bool Ran(const std::string& path) override
    {
        // Started by the shell, or at log-on by the Run key.
        for (const std::vector<std::string>* started : {&m_machine.files.launched, &m_machine.process.running})
            if (std::find(started->begin(), started->end(), path) != started->end()) return true;
        return false;
    }
    void StartProgram(const std::string& path) override { m_machine.process.running.push_back(path); }
    HWND Focus() override { return m_machine.windows.Focus(); }
    bool NeedsPaint(HWND hwnd) override
    {
        const SimWindow* window = m_machine.windows.Window(hwnd);
        return window != nullptr && !window->destroyed && window->visible && !window->painted;
    }
    bool IsWindow(HWND hwnd) override
    {
        const SimWindow* window = m_machine.windows.Window(hwnd);
        return window != nullptr && !window->destroyed;
    }
    void OnNewThread(void (*run)(Bench& bench)) override { run(*this); }
    // The thread's locale takes it too, as on a system set up for it.
    void UseAnsiCodePage(UINT codePage) override
    {
        m_machine.process.ansiCodePage = codePage;
        m_machine.process.threadCodePage = codePage;
    }
    void RunAs(WORD program, WORD native) override
    {
        m_machine.process.programMachine = program;
        m_machine.process.nativeMachine = native;
    }
    void HoldOpen(const std::string& path) override { m_machine.files.MarkInUse(path); }
    void AnswerShellWindow(ShellWindowAnswer answer) override
    {
        m_machine.files.shellErrorAnswer =
            answer == ShellWindowAnswer::Skip ? SimFiles::ShellAnswer::Skip : SimFiles::ShellAnswer::Cancel;
    }
    void RemovePorts() override { m_machine.spooler.ports.clear(); }
    void UseWindows(DWORD major, DWORD minor, bool sixtyFourBit) override
    {
        m_machine.process.majorVersion = major;
        m_machine.process.minorVersion = minor;
        m_machine.process.nativeMachine = sixtyFourBit ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    }
    void AnswerSigningQuestion(bool installAnyway) override
    {
        m_machine.spooler.signingAnswer =
            installAnyway ? SimSpooler::SigningAnswer::InstallAnyway : SimSpooler::SigningAnswer::DontInstall;
    }
    void ArriveDevice(const std::string& devicePath) override
    {
        m_machine.user.PlugIn(devicePath);
        m_machine.user.Next(nullptr);
    }
    void RemoveQueue(const std::string& name) override
    {
        std::vector<SimQueue>& queues = m_machine.spooler.queues;
        queues.erase(std::remove_if(queues.begin(), queues.end(),
                                    [&](const SimQueue& queue) { return LowerCase(queue.name) == LowerCase(name); }),
                     queues.end());
    }
    std::string InfStore() override { return "C:\\Windows\\INF"; }

private:
    SimMachine& m_machine;
    std::string m_folder;
};

// The case's sentence as a test name: its words run together.
std::string Identifier(const std::string& sentence)
{
    std::string name;
    bool wordStart = true;
    for (char c : sentence) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += wordStart ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
            wordStart = false;
        } else {
            wordStart = true;
        }
    }
    return name;
}

}  // namespace

class Conformance : public ::testing::TestWithParam<Case> {};

TEST_P(Conformance, AnswersAsWindowsDoes)
{
    const Case& tested = GetParam();
    SimMachine machine;
    SimBench bench(machine, Identifier(tested.name).substr(0, 40));
    tested.run(bench);
    if (tested.afterRestart != nullptr) {
        machine.Restart();
        tested.afterRestart(bench);
    }
    for (const std::string& failure : bench.failures) ADD_FAILURE() << failure;
}

INSTANTIATE_TEST_SUITE_P(Table, Conformance, ::testing::ValuesIn(ConformanceCases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return Identifier(info.param.name); });

// Every case says what its Windows answers rest on, in one of the four kinds.
TEST(ConformanceTable, EveryCaseNamesItsEvidence)
{
    for (const Case& tested : ConformanceCases()) {
        std::string evidence = tested.evidence != nullptr ? tested.evidence : "";
        bool known = evidence == "none";
        for (const char* kind : {"Wine test: ", "documentation: ", "report: "})
            known |= evidence.rfind(kind, 0) == 0 && evidence.size() > std::strlen(kind);
        EXPECT_TRUE(known) << tested.name << ": evidence \"" << evidence << "\"";
    }
}
