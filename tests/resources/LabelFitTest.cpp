// Every label, check box, radio button, push button and group box of every dialog shows its whole
// text under the dialog's own font at 100, 125, 150 and 200 percent. Measured from the compiled
// templates, the way the dialog manager sizes them: dialog units through the font's base units.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace tovra {
namespace {

struct Control {
    DWORD style = 0;
    WORD classAtom = 0; // 0x80 button, 0x82 static; 0 for a class given by name
    std::wstring text;
    short cx = 0;
    short cy = 0;
};

struct Template {
    std::wstring face;
    WORD points = 8;
    std::vector<Control> controls;
};

// A cursor over a template: words, and texts or ordinals (0xFFFF then the number).
struct Reader {
    const std::uint8_t* at;
    WORD Word() {
        WORD value;
        std::memcpy(&value, at, sizeof value);
        at += sizeof value;
        return value;
    }
    DWORD Dword() { return Word() | (static_cast<DWORD>(Word()) << 16); }
    // The text, or empty with `ordinal` set.
    std::wstring TextOrOrdinal(WORD* ordinal = nullptr) {
        WORD first = Word();
        if (first == 0xFFFF) {
            const WORD number = Word();
            if (ordinal)
                *ordinal = number;
            return {};
        }
        std::wstring text;
        for (; first != 0; first = Word())
            text += static_cast<wchar_t>(first);
        return text;
    }
    void AlignToDword(const std::uint8_t* base) { at += (4 - (at - base) % 4) % 4; }
};

// Extended templates only: every dialog of ours is a DIALOGEX with DS_SETFONT.
Template ReadTemplate(const std::uint8_t* base) {
    Reader read{base};
    Template result;
    read.Word(); // version
    EXPECT_EQ(read.Word(), 0xFFFF) << "not a DIALOGEX";
    read.Dword(); // help id
    read.Dword(); // extended style
    const DWORD style = read.Dword();
    const WORD count = read.Word();
    read.at += 4 * sizeof(short);
    read.TextOrOrdinal(); // menu
    read.TextOrOrdinal(); // class
    read.TextOrOrdinal(); // caption
    if (style & DS_SETFONT) {
        result.points = read.Word();
        read.Word();  // weight
        read.at += 2; // italic, character set
        result.face = read.TextOrOrdinal();
    }
    for (WORD i = 0; i < count; ++i) {
        read.AlignToDword(base);
        Control control;
        read.Dword(); // help id
        read.Dword(); // extended style
        control.style = read.Dword();
        read.at += 2 * sizeof(short); // x, y
        control.cx = static_cast<short>(read.Word());
        control.cy = static_cast<short>(read.Word());
        read.Dword(); // id
        read.TextOrOrdinal(&control.classAtom);
        control.text = read.TextOrOrdinal();
        read.at += read.Word(); // creation data
        result.controls.push_back(control);
    }
    return result;
}

// Pixels a text needs beside a check box or radio button's mark, and around a push button's or
// group box's text: the system's measures at 100 percent, scaled.
int Frame(const Control& control, int dpi) {
    if (control.classAtom != 0x80)
        return 0;
    switch (control.style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
        return MulDiv(13 + 4, dpi, 96);
    case BS_GROUPBOX:
        return MulDiv(2 * 8, dpi, 96);
    default:
        return MulDiv(2 * 4, dpi, 96);
    }
}

bool Measured(const Control& control) {
    if (control.text.empty())
        return false;
    if (control.classAtom == 0x82)
        return (control.style & SS_TYPEMASK) <= SS_RIGHT;
    return control.classAtom == 0x80;
}

BOOL CALLBACK AddTemplate(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR context) {
    HRSRC resource = FindResourceW(module, name, MAKEINTRESOURCEW(5));
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, resource)));
    reinterpret_cast<std::vector<std::pair<WORD, Template>>*>(context)->emplace_back(
        static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)), ReadTemplate(bytes));
    return TRUE;
}

// What each dialog shows cut at `dpi`: "IDD 129: "Remote File Path:" needs 2 lines of 87 px".
std::vector<std::string> CutTexts(int dpi) {
    std::vector<std::string> cut;
    std::vector<std::pair<WORD, Template>> templates;
    EnumResourceNamesW(nullptr, MAKEINTRESOURCEW(5) /* RT_DIALOG */, AddTemplate,
                       reinterpret_cast<LONG_PTR>(&templates));
    EXPECT_FALSE(templates.empty());

    HDC dc = CreateCompatibleDC(nullptr);
    for (const auto& [id, dialog] : templates) {
        HFONT font = CreateFontW(-MulDiv(dialog.points, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                 DEFAULT_CHARSET, 0, 0, 0, 0, dialog.face.c_str());
        HGDIOBJ old = SelectObject(dc, font);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        EXPECT_EQ(std::wstring(face), dialog.face) << "measured with a substitute";
        // The dialog manager's base units: the average width of the letters, and the height.
        SIZE letters{};
        GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &letters);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        const int baseX = (letters.cx / 26 + 1) / 2;
        const int baseY = metrics.tmHeight;
        for (const Control& control : dialog.controls) {
            if (!Measured(control))
                continue;
            const int width = MulDiv(control.cx, baseX, 4) - Frame(control, dpi);
            const int height = MulDiv(control.cy, baseY, 8);
            const bool wraps = control.classAtom == 0x82 || (control.style & BS_MULTILINE) != 0;
            RECT needed{0, 0, width, 0};
            std::wstring text = control.text;
            DrawTextW(dc, text.data(), static_cast<int>(text.size()), &needed,
                      DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
            // A group box's text sits on its top edge: only its width counts.
            const bool groupBox = control.classAtom == 0x80 && (control.style & BS_TYPEMASK) == BS_GROUPBOX;
            const bool fits = needed.right <= width && (groupBox || needed.bottom <= height);
            if (fits)
                continue;
            RECT line{};
            DrawTextW(dc, text.data(), static_cast<int>(text.size()), &line, DT_CALCRECT | DT_SINGLELINE);
            cut.push_back("dialog " + std::to_string(id) + ": \"" +
                          std::string(control.text.begin(), control.text.end()) + "\" needs " +
                          std::to_string(line.right) + " px on one line, has " + std::to_string(width) + "x" +
                          std::to_string(height));
        }
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
    return cut;
}

TEST(LabelFit, EveryTextFitsItsControlAtEveryScale) {
    // The test prefix has none of the dialog's fonts; Wine's own Tahoma is what users of Wine see.
    AddFontResourceExW(L"Z:\\usr\\share\\wine\\fonts\\tahoma.ttf", FR_PRIVATE, nullptr);
    for (int dpi : {96, 120, 144, 192})
        EXPECT_EQ(CutTexts(dpi), std::vector<std::string>()) << dpi << " dpi";
}

} // namespace
} // namespace tovra
