#pragma once
// What the address checker reaches outside itself: the log, the result, the Advanced page's site
// list and the tray picture. The main window implements it.
//
// Threads: every call comes on the checker's own thread, one at a time, and the checker waits
// for each to return before it goes on. An implementation that touches windows must carry the
// call to their thread itself (UiInvoker). After CIpAddressChecker::Stop has returned, no call
// comes any more.

#include <string>
#include <string_view>

namespace tovra {

// Tray icon groups that SetIconById receives.
inline constexpr int kTrayIconNormal = 138;
inline constexpr int kTrayIconBusy = 139;

class CheckerOwner {
public:
    // One status line, without time stamp or line end.
    virtual void AppendLog(std::string_view line) = 0;

    // The result of one check: dotted-decimal text, or empty when nothing was found. With
    // displayOnly the address is only shown; otherwise the owner decides whether to post, and may
    // take as long as an upload does before it returns (the busy icon stays up meanwhile).
    virtual void OnAddressDetected(const std::string& address, bool displayOnly) = 0;

    // The site list of the Advanced page: emptied, then one host at a time.
    virtual void ClearSiteList() = 0;
    virtual void AddSiteToList(const std::string& host) = 0;

    // kTrayIconBusy while a check runs, kTrayIconNormal after it.
    virtual void SetIconById(int iconId) = 0;

protected:
    ~CheckerOwner() = default;
};

} // namespace tovra
