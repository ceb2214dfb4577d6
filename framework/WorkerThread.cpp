#include "framework/WorkerThread.h"

#include <process.h>

#include <system_error>

namespace tovra {

WorkerThread::WorkerThread() : stopEvent_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (!stopEvent_)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateEvent");
}

// Only reached once no thread runs Run() any more: the thread holds a reference until then. When
// the worker was abandoned, this runs on the worker thread itself as it lets go of that reference.
WorkerThread::~WorkerThread() = default;

bool WorkerThread::Start() {
    if (thread_)
        return false;
    std::shared_ptr<WorkerThread> self = weak_from_this().lock();
    if (!self)
        return false;
    auto reference = std::make_unique<std::shared_ptr<WorkerThread>>(std::move(self));
    unsigned id = 0;
    // _beginthreadex rather than CreateThread: the worker uses the C runtime. Created suspended so
    // that the handle and id are in place before Run() can look at them (through Join or
    // IsRunning); resumed at once, and never suspended again.
    const uintptr_t handle =
        ::_beginthreadex(nullptr, 0, &WorkerThread::ThreadEntry, reference.get(), CREATE_SUSPENDED, &id);
    if (handle == 0)
        return false;
    reference.release(); // now the thread's
    thread_.reset(reinterpret_cast<HANDLE>(handle));
    threadId_ = id;
    ::ResumeThread(thread_.get());
    return true;
}

unsigned __stdcall WorkerThread::ThreadEntry(void* parameter) {
    std::unique_ptr<std::shared_ptr<WorkerThread>> reference(
        static_cast<std::shared_ptr<WorkerThread>*>(parameter));
    WorkerThread& self = **reference;
    try {
        self.Run();
    } catch (...) {
        self.failure_ = std::current_exception();
    }
    // The thread's reference goes on return; for an abandoned worker the object goes with it.
    return 0;
}

void WorkerThread::RequestStop() {
    ::SetEvent(stopEvent_.get());
    OnStopRequested();
}

bool WorkerThread::Join(DWORD timeoutMs) {
    if (!thread_)
        return true;
    if (::GetCurrentThreadId() == threadId_)
        return false;
    const HANDLE thread = thread_.get();
    const DWORD start = ::GetTickCount();
    for (;;) {
        // Handle the sent messages already waiting: MsgWaitForMultipleObjects wakes only for
        // those that arrive after the queue was last looked at.
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);

        const DWORD elapsed = ::GetTickCount() - start; // unsigned: right across the 49-day wrap
        const DWORD remaining = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        const DWORD result = ::MsgWaitForMultipleObjects(1, &thread, FALSE, remaining, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result != WAIT_OBJECT_0 + 1)
            return false; // timed out (or the wait failed): the thread may still be running
    }
}

bool WorkerThread::Stop(DWORD timeoutMs) {
    RequestStop();
    return Join(timeoutMs);
}

bool WorkerThread::IsRunning() const {
    return thread_ && ::WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT;
}

bool WorkerThread::StopRequested() const {
    return WaitForStop(0);
}

bool WorkerThread::WaitForStop(DWORD ms) const {
    return ::WaitForSingleObject(stopEvent_.get(), ms) == WAIT_OBJECT_0;
}

} // namespace tovra
