#pragma once
// Reads the dialog templates of a resource script as the resource compiler sees them: each
// control's kind, text, id, rectangle and effective style names (the statement's default styles
// with the written ones added and the NOT-ed ones removed). Enough of the script language for
// our own script; anything else outside a dialog is skipped, and a dialog statement it cannot
// read is an error, so the tests never pass over a control they did not understand.

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace tovra::test {

struct DialogControl {
    std::string kind; // the statement: "EDITTEXT", "RTEXT", "CONTROL", ...
    std::string text; // without quotes; empty for controls that have none
    std::string id;   // as written: "IDC_SITE_ADDRESS", "IDOK", "-1"
    std::string className;
    int x = 0, y = 0, width = 0, height = 0;
    std::set<std::string> styles;

    bool Has(const std::string& style) const { return styles.count(style) != 0; }
    bool IsTabStop() const { return Has("WS_TABSTOP"); }
    bool IsGroupBox() const;
    bool IsStaticText() const;
    bool IsPicture() const;
    // A control the user types into or chooses from, which a label may name.
    bool IsField() const;
    // The character after a lone '&' in the text, lower case, or 0.
    char Mnemonic() const;
};

struct DialogTemplate {
    std::string id;
    std::set<std::string> styles;
    std::vector<DialogControl> controls;
};

class ResourceScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::vector<DialogTemplate> ReadDialogTemplates(const std::string& script);

} // namespace tovra::test
