#pragma once
// The launcher's environment on this machine: its own folder, the user's
// documents folder and locale, the real libraries, disks, processes and
// display.
#include "launcher/game_process.h"
#include "launcher/launcher_program.h"

namespace zolt::launcher {

class SystemGammaControl : public GammaControl {
public:
    bool read_ramp(GammaRamp& ramp) override;
    bool write_ramp(const GammaRamp& ramp) override;
};

class SystemProcessControl : public ProcessControl {
public:
    uint32_t start(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& folder) override;
    bool wait(uint32_t* exit_code) override;

private:
    int process_ = -1;
};

// The name another launcher is recognised by.
constexpr const char single_instance_name[] = "QuorvaneRunningCheckMutex";

LauncherEnvironment make_system_environment(LauncherUi& ui, GammaControl& gamma, ProcessControl& processes);

}  // namespace zolt::launcher
