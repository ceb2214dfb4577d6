#pragma once
// An internet session whose status notifications become log lines ("[thread id] what happened"),
// so the log shows the name resolution, the connection and each exchange as they happen.
//
// Threads: as InternetSession. A step's notifications reach the log on the thread that runs the
// step, so the id in each line is the uploading thread's; once the session has been aborted (a
// deadline, a stop) it reports nothing more, so no line is written from another thread.

#include "framework/InternetSession.h"
#include "upload/LogSink.h"

namespace tovra {

class CStatusLogSession : public InternetSession {
public:
    // Opens the session (agent "Tovra", direct access) with its notifications
    // turned on. owner receives the status lines; null drops them. Throws InternetError when the
    // system refuses a session.
    explicit CStatusLogSession(LogSink* owner);
    // Closes while this object is whole: the close's own notifications still come here.
    ~CStatusLogSession();
    // Not movable either: the notifications are bound to this object's address.
    CStatusLogSession(const CStatusLogSession&) = delete;
    CStatusLogSession& operator=(const CStatusLogSession&) = delete;

private:
    void OnStatusCallback(DWORD status, const void* information, DWORD informationLength);

    LogSink* const owner_;
};

} // namespace tovra
