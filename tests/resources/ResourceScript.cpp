#include "tests/resources/ResourceScript.h"

#include <cctype>
#include <cstdlib>
#include <map>

namespace tovra::test {
namespace {

struct Token {
    enum Kind { Word, String, Comma, Bar, End } kind;
    std::string text;
};

std::vector<Token> Tokenize(const std::string& script) {
    std::vector<Token> tokens;
    size_t i = 0;
    bool lineStart = true;
    while (i < script.size()) {
        const char c = script[i];
        if (c == '\n') {
            lineStart = true;
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (lineStart && c == '#') { // preprocessor line
            i = script.find('\n', i);
            if (i == std::string::npos)
                break;
        } else if (script.compare(i, 2, "//") == 0) {
            i = script.find('\n', i);
            if (i == std::string::npos)
                break;
        } else if (script.compare(i, 2, "/*") == 0) {
            const size_t close = script.find("*/", i + 2);
            if (close == std::string::npos)
                throw ResourceScriptError("unterminated comment");
            i = close + 2;
        } else if (c == '"') {
            std::string text;
            for (++i;; ++i) {
                if (i >= script.size())
                    throw ResourceScriptError("unterminated string");
                if (script[i] == '"') {
                    if (i + 1 < script.size() && script[i + 1] == '"') { // "" stands for one quote
                        text += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += script[i];
            }
            tokens.push_back({Token::String, text});
            lineStart = false;
        } else if (c == ',' || c == '|') {
            tokens.push_back({c == ',' ? Token::Comma : Token::Bar, std::string(1, c)});
            ++i;
            lineStart = false;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-') {
            const size_t start = i++;
            while (i < script.size() &&
                   (std::isalnum(static_cast<unsigned char>(script[i])) || script[i] == '_'))
                ++i;
            tokens.push_back({Token::Word, script.substr(start, i - start)});
            lineStart = false;
        } else {
            throw ResourceScriptError(std::string("unexpected character '") + c + "'");
        }
    }
    tokens.push_back({Token::End, ""});
    return tokens;
}

// One argument of a statement: a quoted text, or names and numbers joined by '|' (with NOT).
struct Argument {
    bool quoted = false;
    std::string text;              // the text, or the single word
    std::set<std::string> added;   // style names written plainly
    std::set<std::string> negated; // style names written after NOT
};

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    std::vector<DialogTemplate> Dialogs() {
        std::vector<DialogTemplate> dialogs;
        while (Peek().kind != Token::End) {
            if (Peek().kind == Token::Word && (Peek(1).text == "DIALOGEX" || Peek(1).text == "DIALOG") &&
                Peek(1).kind == Token::Word) {
                dialogs.push_back(Dialog());
            } else {
                ++at_;
            }
        }
        return dialogs;
    }

private:
    const Token& Peek(size_t ahead = 0) const { return tokens_[std::min(at_ + ahead, tokens_.size() - 1)]; }
    const Token& Next() {
        const Token& token = Peek();
        if (token.kind == Token::End)
            throw ResourceScriptError("script ends inside a dialog");
        ++at_;
        return token;
    }

    DialogTemplate Dialog() {
        DialogTemplate dialog;
        dialog.id = Next().text;
        Next(); // DIALOGEX
        Arguments();
        while (Peek().text != "BEGIN") {
            const std::string keyword = Next().text;
            std::vector<Argument> arguments = Arguments();
            if (keyword == "STYLE" && !arguments.empty())
                dialog.styles = arguments[0].added;
        }
        Next(); // BEGIN
        while (!(Peek().kind == Token::Word && Peek().text == "END"))
            dialog.controls.push_back(Control(dialog.id));
        Next(); // END
        return dialog;
    }

    // Arguments up to the end of the statement: the first one that no comma follows. Every
    // statement we read has at least one.
    std::vector<Argument> Arguments() {
        std::vector<Argument> arguments;
        for (;;) {
            arguments.push_back(OneArgument());
            if (Peek().kind != Token::Comma)
                return arguments;
            Next();
        }
    }

    Argument OneArgument() {
        Argument argument;
        if (Peek().kind == Token::String) {
            argument.quoted = true;
            argument.text = Next().text;
            return argument;
        }
        for (;;) {
            bool negate = false;
            if (Peek().text == "NOT") {
                Next();
                negate = true;
            }
            const Token& word = Next();
            if (word.kind != Token::Word)
                throw ResourceScriptError("expected a name or number, found '" + word.text + "'");
            (negate ? argument.negated : argument.added).insert(word.text);
            argument.text = word.text;
            if (Peek().kind != Token::Bar)
                return argument;
            Next();
        }
    }

    // Statement layouts: which arguments hold the text, id, class, rectangle and styles.
    struct Layout {
        bool hasText;
        bool isControl; // CONTROL text, id, class, style, x, y, w, h
        std::vector<std::string> defaults;
        std::string className;
    };

    static const std::map<std::string, Layout>& Layouts() {
        static const std::map<std::string, Layout> layouts{
            {"LTEXT", {true, false, {"SS_LEFT", "WS_GROUP"}, "Static"}},
            {"RTEXT", {true, false, {"SS_RIGHT", "WS_GROUP"}, "Static"}},
            {"CTEXT", {true, false, {"SS_CENTER", "WS_GROUP"}, "Static"}},
            {"ICON", {true, false, {"SS_ICON"}, "Static"}},
            {"EDITTEXT", {false, false, {"ES_LEFT", "WS_BORDER", "WS_TABSTOP"}, "Edit"}},
            {"LISTBOX", {false, false, {"LBS_NOTIFY", "WS_BORDER"}, "ListBox"}},
            {"COMBOBOX", {false, false, {"CBS_SIMPLE", "WS_TABSTOP"}, "ComboBox"}},
            {"SCROLLBAR", {false, false, {"SBS_HORZ"}, "ScrollBar"}},
            {"PUSHBUTTON", {true, false, {"BS_PUSHBUTTON", "WS_TABSTOP"}, "Button"}},
            {"DEFPUSHBUTTON", {true, false, {"BS_DEFPUSHBUTTON", "WS_TABSTOP"}, "Button"}},
            {"CHECKBOX", {true, false, {"BS_CHECKBOX", "WS_TABSTOP"}, "Button"}},
            {"AUTOCHECKBOX", {true, false, {"BS_AUTOCHECKBOX", "WS_TABSTOP"}, "Button"}},
            {"RADIOBUTTON", {true, false, {"BS_RADIOBUTTON", "WS_TABSTOP"}, "Button"}},
            {"AUTORADIOBUTTON", {true, false, {"BS_AUTORADIOBUTTON", "WS_TABSTOP"}, "Button"}},
            {"STATE3", {true, false, {"BS_3STATE", "WS_TABSTOP"}, "Button"}},
            {"AUTO3STATE", {true, false, {"BS_AUTO3STATE", "WS_TABSTOP"}, "Button"}},
            {"GROUPBOX", {true, false, {"BS_GROUPBOX"}, "Button"}},
            {"CONTROL", {true, true, {}, ""}},
        };
        return layouts;
    }

    static int Number(const Argument& argument, const std::string& where) {
        char* end = nullptr;
        const long value = std::strtol(argument.text.c_str(), &end, 0);
        if (argument.quoted || argument.added.size() != 1 || *end != '\0')
            throw ResourceScriptError(where + ": expected a number, found '" + argument.text + "'");
        return static_cast<int>(value);
    }

    DialogControl Control(const std::string& dialogId) {
        const Token& keyword = Next();
        const auto layout = Layouts().find(keyword.text);
        if (keyword.kind != Token::Word || layout == Layouts().end())
            throw ResourceScriptError(dialogId + ": unknown control statement '" + keyword.text + "'");
        const std::vector<Argument> arguments = Arguments();
        const std::string where = dialogId + " " + keyword.text;
        const size_t first = layout->second.hasText ? 1 : 0;
        const size_t rectangle = layout->second.isControl ? 4 : first + 1;
        const size_t needed = rectangle + (keyword.text == "ICON" ? 2 : 4);
        if (arguments.size() < needed)
            throw ResourceScriptError(where + ": too few arguments");

        DialogControl control;
        control.kind = keyword.text;
        if (layout->second.hasText)
            control.text = arguments[0].text;
        control.id = arguments[first].text;
        control.className = layout->second.isControl ? arguments[2].text : layout->second.className;
        control.x = Number(arguments[rectangle], where);
        control.y = Number(arguments[rectangle + 1], where);
        if (keyword.text != "ICON") {
            control.width = Number(arguments[rectangle + 2], where);
            control.height = Number(arguments[rectangle + 3], where);
        }
        control.styles = {"WS_CHILD", "WS_VISIBLE"};
        control.styles.insert(layout->second.defaults.begin(), layout->second.defaults.end());
        const size_t styleAt = layout->second.isControl ? 3 : needed;
        if (styleAt < arguments.size()) {
            const Argument& style = arguments[styleAt];
            control.styles.insert(style.added.begin(), style.added.end());
            for (const std::string& removed : style.negated)
                control.styles.erase(removed);
        }
        return control;
    }

    std::vector<Token> tokens_;
    size_t at_ = 0;
};

bool IsClass(const DialogControl& control, const char* name) {
    if (control.className.size() != std::string(name).size())
        return false;
    for (size_t i = 0; i < control.className.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(control.className[i])) !=
            std::tolower(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

} // namespace

bool DialogControl::IsGroupBox() const {
    return IsClass(*this, "Button") && Has("BS_GROUPBOX");
}

bool DialogControl::IsPicture() const {
    return IsClass(*this, "Static") && (Has("SS_BITMAP") || Has("SS_ICON"));
}

bool DialogControl::IsStaticText() const {
    return IsClass(*this, "Static") && !IsPicture();
}

bool DialogControl::IsField() const {
    return !IsClass(*this, "Static") && !IsClass(*this, "Button");
}

char DialogControl::Mnemonic() const {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&')
            continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
    }
    return 0;
}

std::vector<DialogTemplate> ReadDialogTemplates(const std::string& script) {
    return Parser(Tokenize(script)).Dialogs();
}

} // namespace tovra::test
