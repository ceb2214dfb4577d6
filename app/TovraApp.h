#pragma once
// The application: what lives as long as the process (the settings, the tray icon, the
// application's registry store) and the run itself, from the start-up decisions (uninstall,
// second instance, normal run) through the message loop to the orderly end.
//
// Threads: the process's first thread only; the workers are the program's (Program), and reach
// neither the settings record nor the tray icon.

#include "framework/Application.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tray/TrayIcon.h"

#include <windows.h>

namespace tovra {

// The tray icon's callback message and tip. Its identifier is the tray menu's resource number.
inline constexpr UINT kTrayCallbackMessage = 0x800A;
inline constexpr char kTrayTip[] = "Tovra";

class CTovraApp {
public:
    explicit CTovraApp(HINSTANCE instance) noexcept;
    CTovraApp(const CTovraApp&) = delete;
    CTovraApp& operator=(const CTovraApp&) = delete;

    // The whole run for this command line; returns the process's exit code (0 on every path: an
    // uninstall run, a second instance that ends at once, and a normal run that ends with Exit).
    int Run(const char* commandLine);

private:
    Application application_;
    // Declared before everything a run creates, so it is removed from the notification area last,
    // after the main window and the workers are gone.
    CTrayIcon trayIcon_;
    Settings settings_;
    CRegistryStore registry_;
};

} // namespace tovra
