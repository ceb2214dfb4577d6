#include "framework/Application.h"

#include "framework/Dialog.h"

namespace tovra {

void Application::SetMainWindow(Dialog& dialog) noexcept {
    dialog.SetQuitOnDestroy(true);
}

int Application::RunMessageLoop() {
    MSG message;
    for (;;) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(message.wParam);
        // -1 means the call itself failed (it cannot with these arguments); looping on would spin.
        if (got == -1)
            return -1;
        if (keyboardDialog_ && ::IsDialogMessageA(keyboardDialog_, &message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

} // namespace tovra
