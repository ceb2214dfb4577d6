#pragma once
// The "Details" page: the detected address, the Local/Web choice of how to detect it, and the log
// box into which every progress line of the program goes.
//
// The page keeps no data of its own. The main window fills and reads its controls through the
// operations below; a click on "Local" or "Web" asks for a display-only check in that mode
// through the callback given at construction.
//
// Threads: UI thread only, like every dialog.

#include "framework/Dialog.h"

#include <functional>
#include <cstddef>
#include <string>
#include <string_view>

namespace tovra {

class CLocalPage : public Dialog {
public:
    // Receives true for "Web" and false for "Local"; called for every click, also on the button
    // that was already selected.
    using CheckRequest = std::function<void(bool useWeb)>;

    explicit CLocalPage(CheckRequest checkAddressOnly);
    ~CLocalPage() override;

    // Creates the page hidden, as a child of parent. The IP address control needs
    // ICC_INTERNET_CLASSES to be registered (InitCommonControlsEx) before this.
    bool Create(HINSTANCE instance, HWND parent);

    // The detection mode: "Web" when useWeb, else "Local"; exactly one of the two is selected.
    void SelectMode(bool useWeb) const noexcept;
    bool IsWebSelected() const noexcept;
    bool IsLocalSelected() const noexcept;

    // The "Detected IP Address" field in dotted form. A blank field reads back as the empty text
    // (not "0.0.0.0"), and the empty text or anything that is not a dotted quad blanks it.
    std::string AddressText() const;
    void SetAddressText(const std::string& address) const noexcept;

    // The read-only IPv6 address beside it; empty when the machine has none.
    std::string Ipv6AddressText() const;
    void SetIpv6AddressText(const std::string& address) const;

    // The multi-line, read-only log box.
    HWND LogBox() const noexcept;

    // Appends whole lines (each ending in CR LF) to the log and scrolls to its end. The log holds
    // at most kLogCapacity characters: the program runs for years, and a log that grew without
    // end would cost memory and time at every line. When a line would pass that, the oldest
    // lines are dropped whole, down to about kLogKept characters, so that the cut, which costs
    // as much as setting the whole text, comes once in hours rather than with every line.
    // 16K characters keep the last hours: a dozen uploads with every status line, or some forty
    // checks that find the address unchanged; the log file on disk keeps everything. A larger box
    // costs the window thread a trim of the whole text now and then, and a resident program
    // megabytes (the edit control keeps UTF-16 and a record per line, and Wine's heap keeps what
    // each regrowth leaves).
    static constexpr std::size_t kLogCapacity = 16 * 1024;
    static constexpr std::size_t kLogKept = kLogCapacity / 4 * 3;
    void AppendLog(std::string_view lines) const;
    // Scrolls the log so that its last line is visible.
    void ScrollLogToEnd() const noexcept;

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    CheckRequest checkAddressOnly_;
};

} // namespace tovra
