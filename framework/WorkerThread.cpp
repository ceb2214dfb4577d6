#include "framework/WorkerThread.h"

#include <process.h>

#include <algorithm>

#include <system_error>

namespace tovra {
namespace {

// What stays in memory below the thread's first frame: the stack a worker uses at once.
constexpr ULONG_PTR kStackKeptBytes = 64 * 1024;

// Wine clears about a megabyte of a new thread's stack, below its first frame, before the thread
// runs, so every thread would start with that megabyte in memory (measured: 964 KiB, whatever
// the stack size asked for). The workers use a few dozen kilobytes of it; the rest is handed
// back. MEM_RESET keeps the pages committed, so the stack still grows into them as before, and
// they come back zeroed when it does. On Windows only the committed top of the stack lies above
// its limit, the range below is empty or untouched, and this is one cheap call.
__attribute__((noinline)) void ReleaseUnusedStack() noexcept {
    const auto frame = reinterpret_cast<ULONG_PTR>(__builtin_frame_address(0));
    MEMORY_BASIC_INFORMATION stack{};
    if (frame < kStackKeptBytes || ::VirtualQuery(reinterpret_cast<void*>(frame), &stack, sizeof stack) == 0)
        return;
    const ULONG_PTR unusedEnd = (frame - kStackKeptBytes) & ~static_cast<ULONG_PTR>(0xFFF);
    // From the bottom of the stack's reservation up: only its committed, plain read-write pages,
    // never a guard page or the reserved rest.
    for (auto at = reinterpret_cast<ULONG_PTR>(stack.AllocationBase); at < unusedEnd;) {
        MEMORY_BASIC_INFORMATION region{};
        if (::VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region) == 0)
            return;
        const ULONG_PTR end = std::min(at + region.RegionSize, unusedEnd);
        if (region.State == MEM_COMMIT && region.Protect == PAGE_READWRITE)
            ::VirtualAlloc(reinterpret_cast<void*>(at), end - at, MEM_RESET, PAGE_READWRITE);
        at = end;
    }
}

} // namespace

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
    ReleaseUnusedStack();
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
