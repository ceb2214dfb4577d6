#include "app/TovraApp.h"

#include "app/InstanceGuard.h"
#include "app/Program.h"
#include "app/Uninstall.h"
#include "app/UninstallCommand.h"
#include "cycle/LogFile.h"
#include "mainwindow/AboutDialog.h"
#include "resources/ResourceIds.h"

#include <commctrl.h>

#include <utility>

namespace tovra {

CTovraApp::CTovraApp(HINSTANCE instance) noexcept : application_(instance) {}

int CTovraApp::Run(const char* commandLine) {
    // The main window's tab control and the Details page's address field are common controls.
    INITCOMMONCONTROLSEX classes{sizeof classes,
                                 ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_INTERNET_CLASSES};
    ::InitCommonControlsEx(&classes);

    const bool first = IsFirstInstance();
    if (IsUninstallCommand(commandLine != nullptr ? commandLine : "")) {
        // A running copy is told, but it keeps running with its settings in memory.
        if (!first)
            NotifyRunningInstance(1);
        Uninstall(registry_);
        return 0;
    }
    // Another copy already serves this desktop: the user who started this one wants to see it.
    if (!first) {
        NotifyRunningInstance(2);
        return 0;
    }

    const HINSTANCE instance = application_.Instance();
    trayIcon_.Create(instance, nullptr, kTrayCallbackMessage, kTrayTip, IDI_TRAY_NORMAL, IDR_TRAY_MENU,
                     false);

    // Every line of the log also goes to the user's own log file, across runs.
    ProgramOptions options;
    options.cycle.logFilePath = LogFile::DefaultPath();
    options.cycle.programVersion = CAboutDialog::kVersion;
    Program program(instance, settings_, trayIcon_, std::move(options));
    application_.SetMainWindow(program.MainWindow());
    // Without a main window there is nothing to run; the tray icon goes with this object.
    if (!program.Start())
        return 0;
    // Later copies of the program find the window there.
    const HWND mainWindow = program.MainWindow().Handle();
    PublishMainWindow(mainWindow);
    // Tab, the arrow keys, mnemonics, Enter and Escape in the main window and its pages.
    application_.SetKeyboardDialog(mainWindow);
    application_.RunMessageLoop();
    // The window is gone; the program stops what is left of its workers as it goes.
    return 0;
}

} // namespace tovra
