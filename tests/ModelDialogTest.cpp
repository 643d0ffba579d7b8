// The model selection dialog: what it shows, the OK rule, and the ways out.
#include "tests/Harness.h"

namespace {

const std::string kExitQuestion =
    "Setup is not complete. If you quit now, the program will not be installed.\nExit Setup?";

}  // namespace

TEST_F(ModelSelection, TheModelDialogShowsTheConfiguredModel)
{
    user.Then([&] {
        SimWindow* dialog = ModelDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->visible);
        EXPECT_EQ(dialog->text, "Corvex Printer Driver - Setup");
        EXPECT_EQ(ModelControl(IDC_VERSION_LABEL)->text, "Version 2.01 (9W)");

        SimWindow* list = ModelControl(IDC_MODEL_LIST);
        ASSERT_EQ(list->items.size(), 1u);
        EXPECT_EQ(list->items[0].text, "KVX QL70 TILLMATE (ESC P)");
        EXPECT_EQ(list->items[0].image, 0);
        EXPECT_EQ(list->items[0].state, UINT(LVIS_SELECTED | LVIS_FOCUSED));
        EXPECT_EQ(list->extendedStyle, DWORD(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
        EXPECT_EQ(list->iconSpacing, MAKELPARAM(350, 0));
        EXPECT_NE(list->imageList, nullptr);
        EXPECT_EQ(dialog->focus, list->hwnd);

        SimWindow* tab = ModelControl(IDC_MODEL_TAB);
        ASSERT_EQ(tab->items.size(), 1u);
        EXPECT_EQ(tab->items[0].text, "Printer Model");

        EXPECT_TRUE(ModelControl(IDOK)->enabled);
        EXPECT_NE(dialog->bigIcon, nullptr);
        EXPECT_EQ(dialog->bigIcon, dialog->smallIcon);
    });
    LeaveByCancel();
    RunSetup();

    EXPECT_EQ(machine.record.CallsOf("ImageList_LoadImageA").at(0).arguments, "129, 0, 32, 0xffffff, 0, 0");
    EXPECT_TRUE(screen.unhandledMessages.empty()) << screen.unhandledMessages.front();
}

TEST_F(ModelSelection, ClicksInTheModelListEnableOkButKeyboardSelectionDoesNot)
{
    auto okEnabled = [&] { return ModelControl(IDOK)->enabled; };
    user.ClickItem(IDC_MODEL_LIST, -1).Then([&] { EXPECT_FALSE(okEnabled()); });
    user.Press(VK_HOME).Then([&] {
        EXPECT_EQ(ModelControl(IDC_MODEL_LIST)->items[0].state & LVIS_SELECTED, UINT(LVIS_SELECTED));
        EXPECT_FALSE(okEnabled());
    });
    // Enter on the disabled default button does nothing either.
    user.Press(VK_RETURN).Then([&] { EXPECT_FALSE(ModelDialog()->ended); });
    user.ClickItem(IDC_MODEL_LIST, 0).Then([&] { EXPECT_TRUE(okEnabled()); });
    user.ClickItem(IDC_MODEL_LIST, -1).Click(IDOK).Then([&] { EXPECT_FALSE(ModelDialog()->ended); });
    LeaveByCancel();
    RunSetup();
    EXPECT_TRUE(record.Happened("ignored click 1"));
    EXPECT_EQ(machine.record.CountOf("SHFileOperationA"), 0);
}

TEST_F(ModelSelection, EscapeDoesNothingInTheModelDialog)
{
    user.Press(VK_ESCAPE).Then([&] {
        EXPECT_TRUE(screen.boxes.empty());
        EXPECT_TRUE(ModelDialog()->visible);
    });
    LeaveByCancel();
    RunSetup();
    EXPECT_TRUE(record.Happened("key dropped 0x1b"));
}

enum class WayOut { CancelButton, CloseBox, AltF4 };
void PrintTo(WayOut way, std::ostream* out)
{
    *out << (way == WayOut::CancelButton ? "Cancel" : way == WayOut::CloseBox ? "close box" : "Alt+F4");
}

class ModelSelectionExit : public SetupTest, public ::testing::WithParamInterface<WayOut> {
protected:
    void Leave()
    {
        switch (GetParam()) {
        case WayOut::CancelButton: user.Click(IDCANCEL); break;
        case WayOut::CloseBox: user.CloseBox(); break;
        case WayOut::AltF4: user.AltF4(); break;
        }
    }
};

TEST_P(ModelSelectionExit, AsksFirstAndNoKeepsTheDialogAsItWas)
{
    Leave();
    user.Answer(IDNO).Then([&] {
        EXPECT_FALSE(ModelDialog()->ended);
        EXPECT_TRUE(ModelDialog()->visible);
        EXPECT_TRUE(ModelControl(IDOK)->enabled);
    });
    Leave();
    user.Answer(IDYES);

    EXPECT_EQ(RunSetup(), 0);

    ASSERT_EQ(screen.boxes.size(), 2u);
    for (const SimMessageBox& box : screen.boxes) {
        EXPECT_EQ(box.text, kExitQuestion);
        EXPECT_EQ(box.caption, "Corvex Printer Driver - Setup");
        EXPECT_EQ(box.style, UINT(MB_YESNO | MB_ICONQUESTION));
        EXPECT_EQ(box.owner, ModelDialog()->hwnd);
    }
    EXPECT_TRUE(record.Happened("end 102 2"));
    EXPECT_EQ(machine.record.CountOf("GetPrinterDriverDirectoryA"), 0);
}

std::string WayName(const ::testing::TestParamInfo<WayOut>& info)
{
    switch (info.param) {
    case WayOut::CancelButton: return "CancelButton";
    case WayOut::CloseBox: return "CloseBox";
    case WayOut::AltF4: return "AltF4";
    }
    return "";
}

INSTANTIATE_TEST_SUITE_P(Ways, ModelSelectionExit,
                         ::testing::Values(WayOut::CancelButton, WayOut::CloseBox, WayOut::AltF4), WayName);

TEST_F(ModelSelection, OkStagesThePackageHidesTheDialogRunsTheConnectionDialogAndEndsWithOk)
{
    AddPackage();
    user.Click(IDOK);
    user.Then([&] {
        EXPECT_FALSE(ModelDialog()->visible);
        EXPECT_TRUE(screen.Dialog(IDD_PRINTER_CONNECTION)->visible);
    });
    LeaveByCancel(IDC_CONNECTION_CANCEL);
    EXPECT_EQ(RunSetup(), 0);

    EXPECT_FALSE(exited);
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, ExitQuestion);
    EXPECT_EQ(machine.files.FilesIn(machine.spooler.driverDirectory),
              (std::vector<std::string>{"CORVEX_ESCP.CAT", "CORVEX_ESCP.INF", "Corvex.HLP", "ESC_QRT_BILL.GPD", "ESC_QRT_BILL.dll",
                                        "Setup.exe", "TTFSUB.gpd", "Uninstall.exe", "stdnames.gpd", "unidrv.dll",
                                        "unidrv.hlp", "unidrvui.dll", "unires.dll"}));
    // The connection dialog ends with Cancel; the model dialog with OK all the same.
    EXPECT_TRUE(InOrder(record, {"SHFileOperationA", "hide 102", "open 108", "end 108 2", "destroy 108", "end 102 1"}));
    EXPECT_FALSE(machine.process.MutexOpen(SetupMutexName));
}

TEST_F(ModelSelection, EnterPressesOk)
{
    AddPackage();
    user.Press(VK_RETURN);
    LeaveByCancel(IDC_CONNECTION_CANCEL);
    RunSetup();
    EXPECT_TRUE(record.Happened("end 102 1"));
    EXPECT_EQ(machine.record.CountOf("SHFileOperationA"), 1);
}

TEST_F(ModelSelection, TheModelListSelectionDoesNotChangeWhatIsInstalled)
{
    // The list shows the first row of the model table, under another name:
    // what gets installed is the configured row all the same.
    AddPackage();
    machine.files.AddFolder("C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
    user.Then([&] { ModelControl(IDC_MODEL_LIST)->items[0].text = ModelName[0]; });
    user.ClickItem(IDC_MODEL_LIST, -1).ClickItem(IDC_MODEL_LIST, 0).Click(IDOK);
    user.Click(IDC_MANUAL).Click(IDC_PORT_OK).Answer(IDOK);
    RunSetup();

    ASSERT_EQ(machine.spooler.drivers.size(), 1u);
    EXPECT_EQ(machine.spooler.drivers[0].name, kModel);
    EXPECT_EQ(machine.spooler.drivers[0].dataFile, "ESC_QRT_BILL.GPD");
    EXPECT_EQ(machine.spooler.drivers[0].hardwareId, HardwareId[ConfiguredModel]);
    ASSERT_EQ(machine.spooler.queues.size(), 1u);
    EXPECT_EQ(machine.spooler.queues[0].name, kModel);
    EXPECT_EQ(machine.spooler.queues[0].driverName, kModel);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
}

TEST_F(ModelSelection, AFailedDriverDirectoryQueryIsReportedAndSetupGoesOn)
{
    AddPackage();
    machine.record.Fail("GetPrinterDriverDirectoryA", ERROR_ACCESS_DENIED);
    user.Click(IDOK).Answer(IDOK);
    user.Then([&] {
        ASSERT_NE(screen.Dialog(IDD_PRINTER_CONNECTION), nullptr);
        EXPECT_TRUE(screen.Dialog(IDD_PRINTER_CONNECTION)->visible);
    });
    LeaveByCancel(IDC_CONNECTION_CANCEL);
    EXPECT_EQ(RunSetup(), 0);

    ASSERT_EQ(screen.boxes.size(), 2u);
    EXPECT_EQ(Describe(screen.boxes[0]),
              Describe({nullptr, "Unexpected error 0x001C occured.", SetupCaption, MB_OK | MB_ICONERROR, 0, 0}));
    EXPECT_EQ(machine.record.CountOf("SHFileOperationA"), 0);
    EXPECT_TRUE(record.Happened("end 102 1"));
    EXPECT_FALSE(screen.waitCursor);
}

TEST_F(ModelSelection, AFailedCopyEndsTheProcessWithExitCodeOne)
{
    AddPackage();
    machine.record.Fail("SHFileOperationA", 0x402);
    user.Click(IDOK);

    EXPECT_EQ(RunSetup(), 1);

    EXPECT_TRUE(exited);
    EXPECT_TRUE(screen.boxes.empty());
    EXPECT_FALSE(record.Happened("hide 102"));
    EXPECT_FALSE(record.Happened("end 102 1"));
}

TEST_F(ModelSelection, AMinimisedModelDialogDrawsItsIconCentred)
{
    user.Minimize().Then([&] {
        ASSERT_EQ(screen.drawnIcons.size(), 1u);
        RECT client;
        machine.windows.GetClientRect(ModelDialog()->hwnd, &client);
        EXPECT_EQ(screen.drawnIcons[0].x, (client.right - 32 + 1) / 2);
        EXPECT_EQ(screen.drawnIcons[0].y, (client.bottom - 32 + 1) / 2);
        EXPECT_EQ(screen.drawnIcons[0].icon, ModelDialog()->bigIcon);
        EXPECT_TRUE(record.Happened("erase icon background 102"));
        // The paint begins (which validates the window), the icon's
        // background is erased, and the paint ends.
        EXPECT_TRUE(InOrder(record, {"begin paint 102", "erase icon background 102", "end paint 102"}));
        EXPECT_TRUE(ModelDialog()->painted);
        // The icon also stands for the window while it is dragged.
        LRESULT dragIcon = machine.windows.SendMessageA(ModelDialog()->hwnd, WM_QUERYDRAGICON, 0, 0);
        EXPECT_EQ(reinterpret_cast<HICON>(dragIcon), ModelDialog()->bigIcon);
    });
    LeaveByCancel();
    RunSetup();
}

TEST_F(ModelSelection, ARestoredModelDialogPaintsAsUsual)
{
    user.Then([&] {
        size_t before = record.events.size();
        machine.windows.SendMessageA(ModelDialog()->hwnd, WM_PAINT, 0, 0);
        ASSERT_GT(record.events.size(), before);
        EXPECT_EQ(record.events.back().what, "paint 102");
        EXPECT_TRUE(screen.drawnIcons.empty());
    });
    LeaveByCancel();
    RunSetup();
}

TEST_F(ModelSelection, TheModelPictureListIsDestroyedOnceWithTheList)
{
    // The list view has no LVS_SHAREIMAGELISTS: it destroys the picture list itself.
    LeaveByCancel();
    RunSetup();
    EXPECT_EQ(screen.LiveImageLists(), 0);
    EXPECT_TRUE(screen.imageListErrors.empty()) << screen.imageListErrors.front();
    EXPECT_EQ(record.CountOf("ImageList_Destroy"), 1);
}
