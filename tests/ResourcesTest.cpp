// The resource script and the artwork, as the dialogs and the system read them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "tests/sim/ResourceScript.h"
#include "resources/resource.h"

namespace {

const ResourceScript& Script() { return ResourceScript::Program(); }

const RcControl& ControlOf(const RcDialog& dialog, int id)
{
    for (const RcControl& control : dialog.controls)
        if (control.id == id) return control;
    throw std::runtime_error("no control " + std::to_string(id));
}

std::string Rect(const RcControl& control)
{
    return std::to_string(control.x) + "," + std::to_string(control.y) + "," + std::to_string(control.width) + "," +
           std::to_string(control.height);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

uint32_t Le32(const std::string& data, size_t at)
{
    return uint32_t(uint8_t(data[at])) | uint32_t(uint8_t(data[at + 1])) << 8 | uint32_t(uint8_t(data[at + 2])) << 16 |
           uint32_t(uint8_t(data[at + 3])) << 24;
}

uint16_t Le16(const std::string& data, size_t at) { return uint16_t(uint8_t(data[at]) | uint8_t(data[at + 1]) << 8); }

}  // namespace

TEST(Resources, EveryDialogHasTheSetupCaptionFontAndTaskbarButton)
{
    for (int id : {IDD_SETUP_DIALOG, IDD_PRINTER_CONNECTION, IDD_PORT_SELECTION, IDD_FILE_COPY}) {
        const RcDialog* dialog = Script().Dialog(id);
        ASSERT_NE(dialog, nullptr) << id;
        EXPECT_EQ(dialog->caption, "Corvex Printer Driver - Setup") << id;
        EXPECT_EQ(dialog->font, "MS Shell Dlg") << id;
        EXPECT_EQ(dialog->fontSize, 8) << id;
        EXPECT_EQ(dialog->extendedStyles, std::set<std::string>{"WS_EX_APPWINDOW"}) << id;
        for (const RcControl& control : dialog->controls) {
            if (control.id < 3) continue;  // IDOK, IDCANCEL and the unnamed statics
            EXPECT_TRUE(control.id >= 1000 && control.id <= 1021) << id << ": " << control.id;
        }
    }
}

TEST(Resources, TheModelDialogTemplate)
{
    const RcDialog& dialog = *Script().Dialog(IDD_SETUP_DIALOG);
    EXPECT_EQ(dialog.width, 304);
    EXPECT_EQ(dialog.height, 210);
    EXPECT_EQ(dialog.styles, (std::set<std::string>{"WS_VISIBLE", "WS_CAPTION", "WS_SYSMENU", "WS_MINIMIZEBOX",
                                                     "DS_MODALFRAME", "DS_CENTER", "DS_3DLOOK", "DS_SHELLFONT"}));
    // Template order is tab order: the model list first.
    ASSERT_EQ(dialog.controls.size(), 6u);
    EXPECT_EQ(dialog.controls[0].id, IDC_MODEL_LIST);
    EXPECT_EQ(dialog.controls[1].id, IDC_MODEL_TAB);

    const RcControl& list = ControlOf(dialog, IDC_MODEL_LIST);
    EXPECT_EQ(list.className, "SysListView32");
    EXPECT_EQ(list.styles, (std::set<std::string>{"WS_BORDER", "WS_TABSTOP", "LVS_ICON", "LVS_SINGLESEL",
                                                   "LVS_SHOWSELALWAYS", "LVS_ALIGNLEFT", "LVS_NOSCROLL"}));
    EXPECT_EQ(Rect(list), "27,43,250,93");
    const RcControl& tab = ControlOf(dialog, IDC_MODEL_TAB);
    EXPECT_EQ(tab.className, "SysTabControl32");
    EXPECT_TRUE(tab.styles.empty());
    EXPECT_EQ(Rect(tab), "13,16,276,132");

    const RcControl& ok = ControlOf(dialog, 1);
    EXPECT_EQ(ok.text, "OK");
    EXPECT_EQ(ok.styles, (std::set<std::string>{"BS_DEFPUSHBUTTON", "WS_GROUP", "WS_TABSTOP"}));
    EXPECT_EQ(Rect(ok), "182,184,53,16");
    const RcControl& cancel = ControlOf(dialog, 2);
    EXPECT_EQ(cancel.text, "Cancel");
    EXPECT_EQ(cancel.styles, (std::set<std::string>{"BS_PUSHBUTTON", "WS_GROUP", "WS_TABSTOP"}));
    EXPECT_EQ(Rect(cancel), "240,184,53,16");

    const RcControl& maker = ControlOf(dialog, -1);
    EXPECT_EQ(maker.text.substr(0, maker.text.find('\n')), "Corvantis Limited");
    EXPECT_EQ(maker.styles, (std::set<std::string>{"SS_CENTER", "WS_GROUP"}));
    EXPECT_EQ(Rect(maker), "60,155,182,18");

    const RcControl& version = ControlOf(dialog, IDC_VERSION_LABEL);
    EXPECT_EQ(version.text, "Version 2.XX (9W)");
    EXPECT_EQ(version.styles, (std::set<std::string>{"SS_LEFT", "SS_CENTERIMAGE", "WS_GROUP"}));
    EXPECT_EQ(Rect(version), "17,184,81,16");
}

TEST(Resources, TheWaitWindowTemplateHasNoCloseBox)
{
    const RcDialog& dialog = *Script().Dialog(IDD_FILE_COPY);
    EXPECT_EQ(dialog.width, 225);
    EXPECT_EQ(dialog.height, 78);
    // Exactly these: no WS_SYSMENU, so no close box, and no WS_POPUP either.
    EXPECT_EQ(dialog.styles, (std::set<std::string>{"WS_CAPTION", "WS_VISIBLE", "DS_MODALFRAME", "DS_CENTER",
                                                     "DS_SETFONT", "DS_FIXEDSYS", "DS_3DLOOK"}));
    const RcControl& text = ControlOf(dialog, IDC_WAIT_TEXT);
    EXPECT_EQ(text.text, "Now the printer will be installed ...\nPlease wait ...");
    EXPECT_EQ(Rect(text), "93,30,119,18");
    ASSERT_EQ(dialog.controls.size(), 3u);
    EXPECT_EQ(dialog.controls[1].imageId, IDB_WAIT);
    EXPECT_EQ(Rect(dialog.controls[1]), "0,0,75,77");
    EXPECT_EQ(dialog.controls[2].styles.count("SS_ETCHEDVERT"), 1u);
    EXPECT_EQ(Rect(dialog.controls[2]), "74,0,19,78");
}

TEST(Resources, ThePortDialogTemplates)
{
    const RcDialog& connection = *Script().Dialog(IDD_PRINTER_CONNECTION);
    EXPECT_EQ(ControlOf(connection, IDC_CONNECTION_PICTURE).imageId, IDB_CONNECTION);
    EXPECT_EQ(Rect(ControlOf(connection, IDC_CONNECTION_PICTURE)), "8,9,286,102");
    EXPECT_EQ(ControlOf(connection, IDC_CONNECTION_TEXT).text,
              "Please connect the printer to computer, then turn the printer ON. The utility will search the printer "
              "and automatically configure the USB port.");
    EXPECT_EQ(ControlOf(connection, IDC_MANUAL).text, "Manual");
    EXPECT_EQ(ControlOf(connection, IDC_MANUAL).styles.count("BS_DEFPUSHBUTTON"), 1u);
    EXPECT_EQ(ControlOf(connection, IDC_CONNECTION_CANCEL).text, "Cancel");
    EXPECT_EQ(connection.styles.count("WS_SYSMENU"), 1u);

    const RcDialog& ports = *Script().Dialog(IDD_PORT_SELECTION);
    EXPECT_EQ(ports.styles, connection.styles);
    EXPECT_EQ(ControlOf(ports, IDC_CURRENT_PORT).className, "Edit");
    EXPECT_EQ(ControlOf(ports, IDC_CURRENT_PORT).styles.count("ES_READONLY"), 1u);
    EXPECT_EQ(ControlOf(ports, IDC_PORT_LIST).className, "ListBox");
    EXPECT_EQ(ControlOf(ports, IDC_PORT_LIST).styles.count("LBS_NOTIFY"), 1u);
    EXPECT_EQ(ControlOf(ports, IDC_PORT_OK).text, "OK");
    EXPECT_EQ(ControlOf(ports, IDC_PORT_OK).styles.count("BS_DEFPUSHBUTTON"), 1u);
    EXPECT_EQ(ControlOf(ports, IDC_PORT_OK).styles.count("WS_DISABLED"), 0u);
    EXPECT_EQ(ControlOf(ports, IDC_PORT_CANCEL).text, "Cancel");
}

TEST(Resources, TheManifestAsksForElevationAndCommonControlsSix)
{
    std::string manifest = ReadFile(std::string(SETUP_SOURCE_DIR) + "/resources/" + Script().manifest);
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
}

TEST(Resources, TheArtworkHasTheSizesTheDialogsExpect)
{
    std::string out = testing::TempDir() + "/artwork";
    std::string command = "python3 " + std::string(SETUP_SOURCE_DIR) + "/resources/make_artwork.py " + out;
    ASSERT_EQ(std::system(command.c_str()), 0);

    // The model picture stays 24 bits a pixel, its white masked by the image
    // list; the others are run-length encoded 8-bit pictures (BI_RLE8).
    struct Expected {
        int id, width, height, bits, compression;
    };
    for (Expected picture : {Expected{IDB_MODEL, 96, 96, 24, 0}, Expected{IDB_CONNECTION, 425, 160, 8, 1},
                             Expected{IDB_WAIT, 112, 128, 8, 1}}) {
        std::string bitmap = ReadFile(out + "/" + Script().bitmaps.at(picture.id));
        ASSERT_GT(bitmap.size(), 54u) << picture.id;
        EXPECT_EQ(bitmap.substr(0, 2), "BM");
        EXPECT_EQ(Le32(bitmap, 18), uint32_t(picture.width)) << picture.id;
        EXPECT_EQ(Le32(bitmap, 22), uint32_t(picture.height)) << picture.id;
        EXPECT_EQ(Le16(bitmap, 28), picture.bits) << picture.id;
        EXPECT_EQ(Le32(bitmap, 30), uint32_t(picture.compression)) << picture.id;
        if (picture.compression == 1) {
            // Every row ends with an end of line, the last with the end of the bitmap.
            EXPECT_EQ(bitmap.substr(bitmap.size() - 2), std::string("\0\1", 2)) << picture.id;
            EXPECT_LT(bitmap.size(), 16000u) << picture.id;
        }
    }
    // The model picture's background is white, the colour that the image list masks.
    std::string model = ReadFile(out + "/" + Script().bitmaps.at(IDB_MODEL));
    EXPECT_EQ(model.substr(54, 3), std::string("\xff\xff\xff"));

    std::string icon = ReadFile(out + "/" + Script().icons.at(IDI_SETUP));
    ASSERT_EQ(Le16(icon, 4), 6);
    std::set<std::pair<int, int>> images;
    for (int i = 0; i < 6; ++i) {
        size_t entry = 6 + 16 * static_cast<size_t>(i);
        images.insert({uint8_t(icon[entry]), Le16(icon, entry + 6)});
    }
    EXPECT_EQ(images, (std::set<std::pair<int, int>>{{16, 4}, {16, 8}, {32, 4}, {32, 8}, {48, 4}, {48, 8}}));
}
