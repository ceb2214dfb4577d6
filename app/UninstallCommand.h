#pragma once
// Whether a command line asks for the uninstall run: its last nine characters spell "uninstall" in
// any letter case. The whole line is tested as the system hands it over, program path included,
// so "/uninstall", "-UNINSTALL" and a bare "uninstall" all match, and a trailing blank does not.

#include <string_view>

namespace tovra {

bool IsUninstallCommand(std::string_view commandLine) noexcept;

} // namespace tovra
