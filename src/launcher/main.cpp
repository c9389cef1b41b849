#include "launcher/desktop_ui.h"
#include "launcher/system_environment.h"

// Fontconfig, under the desktop's message boxes, keeps its caches until the
// process ends; the leak checker of sanitized builds is told so.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

int main(int argument_count, char** arguments) {
    zolt::launcher::DesktopUi ui;
    zolt::launcher::SystemGammaControl gamma;
    zolt::launcher::SystemProcessControl processes;
    zolt::launcher::LauncherEnvironment environment = zolt::launcher::make_system_environment(ui, gamma, processes);
    return zolt::launcher::get_launcher_exit_number(
        zolt::launcher::run_launcher(environment, argument_count, arguments));
}
