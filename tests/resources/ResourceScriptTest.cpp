// The dialog templates as a keyboard or screen-reader user meets them. A screen reader names a
// field after the static text just before it in the template, and a label's mnemonic moves the
// focus to the next control that takes it; so each label must stand right before the field it
// names on screen. The fields are found by position, as a sighted user finds them.

#include "tests/resources/ResourceScript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using tovra::test::DialogControl;
using tovra::test::DialogTemplate;
using tovra::test::ReadDialogTemplates;

std::vector<DialogTemplate> OurDialogs() {
    std::ifstream file(TOVRA_RESOURCE_SCRIPT, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return ReadDialogTemplates(text.str());
}

const DialogTemplate* Find(const std::vector<DialogTemplate>& dialogs, const std::string& id) {
    for (const DialogTemplate& dialog : dialogs)
        if (dialog.id == id)
            return &dialog;
    return nullptr;
}

// A label in the Windows sense: static text that ends in a colon.
bool IsLabel(const DialogControl& control) {
    return control.IsStaticText() && !control.text.empty() && control.text.back() == ':';
}

bool Overlap(int start1, int length1, int start2, int length2) {
    return start1 < start2 + length2 && start2 < start1 + length1;
}

// The field a label names: the nearest one to its right on its line, else the nearest below it.
const DialogControl* NamedField(const DialogTemplate& dialog, const DialogControl& label) {
    const DialogControl* best = nullptr;
    for (const DialogControl& field : dialog.controls)
        if (field.IsField() && Overlap(field.y, field.height, label.y, label.height) &&
            field.x >= label.x + label.width - 2 && (best == nullptr || field.x < best->x))
            best = &field;
    if (best != nullptr)
        return best;
    for (const DialogControl& field : dialog.controls)
        if (field.IsField() && Overlap(field.x, field.width, label.x, label.width) &&
            field.y >= label.y + label.height - 2 && (best == nullptr || field.y < best->y))
            best = &field;
    return best;
}

TEST(ResourceScriptTest, EveryLabelStandsRightBeforeTheFieldItNamesAndItsMnemonicIsUnique) {
    const std::vector<DialogTemplate> dialogs = OurDialogs();
    ASSERT_GE(dialogs.size(), 6u);
    const DialogTemplate* main = Find(dialogs, "IDD_MAIN");
    ASSERT_NE(main, nullptr);

    int labels = 0;
    for (const DialogTemplate& dialog : dialogs) {
        // The pages sit inside the main window, whose buttons' mnemonics reach into them.
        std::map<char, std::string> taken;
        auto take = [&](const DialogControl& control) {
            if (const char key = control.Mnemonic())
                EXPECT_TRUE(taken.emplace(key, control.text).second)
                    << dialog.id << ": '" << control.text << "' and '" << taken[key] << "' share a mnemonic";
        };
        if (dialog.styles.count("WS_CHILD") != 0)
            std::for_each(main->controls.begin(), main->controls.end(), take);
        std::for_each(dialog.controls.begin(), dialog.controls.end(), take);

        for (size_t i = 0; i < dialog.controls.size(); ++i) {
            const DialogControl& label = dialog.controls[i];
            if (!IsLabel(label)) {
                EXPECT_FALSE(label.IsStaticText() && label.Mnemonic() != 0)
                    << dialog.id << ": '" << label.text << "' has a mnemonic but is no label";
                continue;
            }
            ++labels;
            const DialogControl* field = NamedField(dialog, label);
            ASSERT_NE(field, nullptr) << dialog.id << ": '" << label.text << "' names no field";
            ASSERT_LT(i + 1, dialog.controls.size()) << dialog.id << ": '" << label.text << "' comes last";
            EXPECT_EQ(dialog.controls[i + 1].id, field->id)
                << dialog.id << ": '" << label.text << "' must come right before " << field->id;
            EXPECT_TRUE(field->IsTabStop()) << dialog.id << ": " << field->id << " cannot take the focus";
            EXPECT_NE(label.Mnemonic(), 0) << dialog.id << ": '" << label.text << "' has no mnemonic";
        }
    }
    EXPECT_GE(labels, 10);
}

// The group box's own text names the group, and it is drawn under the controls inside it.
TEST(ResourceScriptTest, GroupBoxesComeBeforeTheControlsInsideThem) {
    for (const DialogTemplate& dialog : OurDialogs())
        for (size_t box = 0; box < dialog.controls.size(); ++box) {
            const DialogControl& group = dialog.controls[box];
            if (!group.IsGroupBox())
                continue;
            for (size_t i = 0; i < box; ++i) {
                const DialogControl& inside = dialog.controls[i];
                EXPECT_FALSE(inside.x >= group.x && inside.y >= group.y &&
                             inside.x + inside.width <= group.x + group.width &&
                             inside.y + inside.height <= group.y + group.height)
                    << dialog.id << ": " << inside.id << " '" << inside.text
                    << "' comes before its group box '" << group.text << "'";
            }
        }
}

// The keyboard user's path through each dialog. It changes only by a deliberate decision here.
TEST(ResourceScriptTest, TabOrderOfEveryDialog) {
    const std::map<std::string, std::vector<std::string>> expected{
        {"IDD_ABOUT", {"IDOK"}},
        {"IDD_MAIN", {"IDC_MAIN_TABS", "IDC_MAIN_POST_NOW", "IDOK", "IDCANCEL"}},
        {"IDD_SITE_PAGE",
         {"IDC_SITE_ADDRESS", "IDC_SITE_PORT", "IDC_SITE_USERNAME", "IDC_SITE_PASSWORD",
          "IDC_SITE_REMOTE_PATH", "IDC_SITE_PROTOCOL", "IDC_SITE_PASSIVE_MODE", "IDC_SITE_TEMPLATE_FILE",
          "IDC_SITE_BROWSE_TEMPLATE"}},
        // Before any click; the checked radio button becomes a tab stop itself.
        {"IDD_LOCAL_PAGE", {"IDC_LOCAL_IP_ADDRESS", "IDC_LOCAL_IPV6_ADDRESS", "IDC_LOCAL_LOG"}},
        {"IDD_ADVANCED_PAGE",
         {"IDC_PROXY_USERNAME", "IDC_PROXY_PASSWORD", "IDC_IP_SITE_LIST", "IDC_IP_SITE_ADD",
          "IDC_IP_SITE_REMOVE", "IDC_FORCE_UPLOAD"}},
        {"IDD_ADD_IP_SITE", {"IDC_ADD_SITE_ADDRESS", "IDC_ADD_SITE_PATH", "IDOK", "IDCANCEL"}},
        {"IDD_NAMES_PAGE", {"IDC_NAME_LIST", "IDC_NAME_ADD", "IDC_NAME_EDIT", "IDC_NAME_REMOVE"}},
        {"IDD_DNS_NAME",
         {"IDC_NAME_SERVICE", "IDC_NAME_SERVER", "IDC_NAME_HOST", "IDC_NAME_ACCOUNT", "IDC_NAME_SECRET",
          "IDOK", "IDCANCEL"}},
    };
    std::map<std::string, std::vector<std::string>> found;
    for (const DialogTemplate& dialog : OurDialogs())
        for (const DialogControl& control : dialog.controls)
            if (control.IsTabStop())
                found[dialog.id].push_back(control.id);
    EXPECT_EQ(found, expected);
}

// The reader itself, on the forms our script does not use today but a template edit may bring.
TEST(ResourceScriptTest, ReaderAppliesDefaultStylesNotAndContinuedLinesAndRefusesWhatItCannotRead) {
    const std::vector<DialogTemplate> dialogs = ReadDialogTemplates(R"(
#include "x.h"
IDS STRINGTABLE BEGIN 1 "DIALOG" END
IDD_X DIALOGEX 0, 0, 10, 10 /* a comment */
STYLE DS_CONTROL | WS_CHILD
BEGIN
    LTEXT "Say ""&hi"":", -1, 1, 2, 3, 4
    EDITTEXT IDC_A, 5, 6, 7, 8, NOT WS_TABSTOP | ES_NUMBER
    CONTROL "", IDC_B, "Button", BS_AUTORADIOBUTTON | WS_GROUP,
            9, 10, 11, 12
    GROUPBOX "A && B", IDC_STATIC, 0, 0, 10, 10
END)");
    ASSERT_EQ(dialogs.size(), 1u);
    const std::vector<DialogControl>& controls = dialogs[0].controls;
    ASSERT_EQ(controls.size(), 4u);
    EXPECT_EQ(controls[0].text, "Say \"&hi\":");
    EXPECT_EQ(controls[0].Mnemonic(), 'h');
    EXPECT_TRUE(controls[0].Has("WS_GROUP") && controls[0].IsStaticText());
    EXPECT_EQ(controls[1].id, "IDC_A");
    EXPECT_TRUE(controls[1].Has("ES_NUMBER") && controls[1].Has("WS_BORDER") && controls[1].IsField());
    EXPECT_FALSE(controls[1].IsTabStop());
    EXPECT_EQ(controls[2].className, "Button");
    EXPECT_EQ(controls[2].y + controls[2].height, 22);
    EXPECT_FALSE(controls[2].IsTabStop());
    EXPECT_TRUE(controls[3].IsGroupBox());
    EXPECT_EQ(controls[3].Mnemonic(), 0);

    EXPECT_THROW(ReadDialogTemplates("D DIALOGEX 0, 0, 1, 1\nBEGIN\n SLIDER 1, 2\nEND"),
                 tovra::test::ResourceScriptError);
    EXPECT_THROW(ReadDialogTemplates("D DIALOGEX 0, 0, 1, 1\nBEGIN\n EDITTEXT 1, 2, x + 3, 4, 5\nEND"),
                 tovra::test::ResourceScriptError);
}

} // namespace
