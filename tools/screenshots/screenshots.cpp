// SPDX-License-Identifier: GPL-2.0-or-later
// velmora_screenshots OUTDIR [PROFILE...]: pictures of every tab of the window, taken from the
// program itself on the simulated board of each profile (default 4 7 12 14), as
// OUTDIR/profile-<N>-<tab>.png. Each profile runs in a process of its own, as one start of
// velmora would: in a fresh temporary working folder (removed at the end, so no settings file
// of the user is read or written), offscreen, with nobody at the screen to answer questions.
//
// Before the pictures, six minutes of a stress run are played on the simulated board at once
// on a clock of their own: idle, a minute in a full load and the FSB and core voltage raised
// by Apply, then idle again, one sensor update a second. The History tab shows what it drew
// of them, and the other tabs show the board where the run left it.
#include <QApplication>
#include <QEventLoop>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/main_settings.h"
#include "app/port_setup.h"
#include "app/privileges.h"
#include "app/prompts.h"
#include "app/run_lock.h"
#include "automation/cpuload.h"
#include "gui/main_window.h"
#include "hw/port_io.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "sensors/fan_failsafe.h"
#include "sim/sim_machine.h"
#include "sim/sim_profile.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

const std::vector<int> kDefaultProfiles = {4, 7, 12, 14};
// After the start: the window laid out and its first readings shown.
constexpr int kSettleMs = 500;
// After a tab comes to the front: its handler's reads and the repaint.
constexpr int kTabSettleMs = 300;

void usage() {
    std::fprintf(stderr,
                 "usage: velmora_screenshots OUTDIR [PROFILE...]\n"
                 "Saves OUTDIR/profile-<N>-<tab>.png for every tab of the window on simulated "
                 "board N (0-14; default 4 7 12 14).\n");
}

bool parse_profile(const char* text, int& profile) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || n < 0 || n > 1000 || !sim_profile(static_cast<int>(n)))
        return false;
    profile = static_cast<int>(n);
    return true;
}

// "Sensor settings" -> "sensor-settings": lower-case letters and digits, anything else one '-'.
std::string file_name_of_caption(const QString& caption) {
    std::string name;
    for (char c : caption.toStdString()) {
        if (c == '&')
            continue;
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if (!name.empty() && name.back() != '-')
            name += '-';
    }
    while (!name.empty() && name.back() == '-')
        name.pop_back();
    return name.empty() ? "tab" : name;
}

// The load of the played run at second t: a few percent at idle, full while the stress runs.
constexpr int kPlayedSeconds = 6 * 60;
constexpr int kStressFrom = 60;
constexpr int kRaiseAt = 150;
constexpr int kStressUntil = 270;
int played_load(int t) {
    if (t >= kStressFrom && t < kStressUntil)
        return 100 - (t * 7 % 3);
    return 2 + (t * 13 % 5);
}

// Plays the run: the board's load and the shown load follow played_load, the clock moves a
// second per sensor update, and at kRaiseAt an Apply raises the core voltage by 25 mV (on a
// board that sets it) and the FSB by 5 MHz, voltage first as every Apply does.
void play_stress_run(TMain& window, SimMachine& machine, VirtualClock& clock) {
    window.Timer1->stop();
    cpuload_stop();
    for (int t = 0; t < kPlayedSeconds; ++t) {
        const int load = played_load(t);
        machine.set_cpu_load(load / 100.0);
        cpu_load.store(load);
        if (t == kRaiseAt) {
            if (window.main_tab.TrackBarVcore->isEnabled())
                window.main_tab.ShowVcore(window.values_applied.vcore + 0.025);
            window.main_tab.ShowFsb(window.values_applied.fsb + 5);
            window.main_tab.Apply(window.main_tab.ButtonApply);
        }
        clock.advance(1000);
        window.UpdateSensor(window.Timer1);
        QCoreApplication::processEvents();
    }
    machine.follow_host_load();
}

void wait_ms(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A fresh folder of this user's under the system's temporary folder; empty when none could be
// made.
std::string make_temp_folder() {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    std::string pattern = ((error ? fs::path("/tmp") : base) / "velmora-shots-XXXXXX").string();
    std::vector<char> text(pattern.begin(), pattern.end());
    text.push_back('\0');
    if (!::mkdtemp(text.data()))
        return {};
    return text.data();
}

// The settings of the run: the board of the profile in use, sensor updates and CPU-load
// measurements every second while the readings settle. CR LF line ends, as velmora keeps its
// settings files.
bool write_settings(int profile) {
    std::ofstream file("config.ini", std::ios::binary);
    file << "\r\n[Main]\r\nBoard=" << profile << "\r\nLoadUpdate=1\r\n[Sensor]\r\nUpdate=1\r\n";
    return static_cast<bool>(file);
}

// One profile, in this process. `shown_dir` is OUTDIR as given, for the lines printed.
int shoot_profile(const std::string& shown_dir, const fs::path& out_dir, int profile,
                  char* program) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string qpa = std::getenv("QT_QPA_PLATFORM");
    if (qpa == "offscreen" || qpa == "minimal") {
        // Nothing of this run is on a desktop: a velmora open there is none of its business.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
    }

    std::error_code error;
    const fs::path home = fs::current_path(error);
    const std::string folder = make_temp_folder();
    if (error || folder.empty() || ::chdir(folder.c_str()) != 0) {
        std::fprintf(stderr, "velmora_screenshots: no temporary working folder: %s\n",
                     std::strerror(errno));
        return 1;
    }
    // Qt's runtime folder, when the session has none, is this run's own too.
    if (!std::getenv("XDG_RUNTIME_DIR"))
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    // However the run ends (the window's start-up may end the process), the folder goes; the
    // hook comes after the board's own, which saves into it.
    auto leave_folder = [home, folder] {
        std::error_code ignored;
        if (!home.empty())
            fs::current_path(home, ignored);
        fs::remove_all(folder, ignored);
    };
    if (!write_settings(profile)) {
        std::fprintf(stderr, "velmora_screenshots: config.ini cannot be written in %s\n",
                     folder.c_str());
        leave_folder();
        return 1;
    }

    const std::vector<std::string> args = {"--sim=" + std::to_string(profile), "--unattended"};
    const PortPlan plan = plan_port_backend(args);
    const RunLock lock = plan.error.empty() ? lock_simulated_board(kSimStateFile) : RunLock{};
    if (!plan.error.empty() || lock.state != RunLock::State::Taken) {
        std::fprintf(stderr, "velmora_screenshots: profile %d: %s\n", profile,
                     plan.error.empty() ? lock.refusal.c_str() : plan.error.c_str());
        leave_folder();
        return 1;
    }
    PortSetup ports = make_port_backend(plan, args);
    if (!ports.error.empty()) {
        std::fprintf(stderr, "velmora_screenshots: profile %d: %s\n", profile, ports.error.c_str());
        leave_folder();
        return 1;
    }
    if (!ports.backend->needs_port_grant()) {
        const std::string dropped = drop_process_privileges();
        if (!dropped.empty())
            ports.notes.log_lines.insert(ports.notes.log_lines.begin(), dropped);
    }

    int qt_argc = 1;
    char* qt_argv[] = {program, nullptr};
    QApplication app(qt_argc, qt_argv);
    QApplication::setApplicationName("velmora");
    std::setlocale(LC_NUMERIC, "C");

    // The ends of the run as the program has them.
    install_port_backend(&ports.active());
    install_kernel(ports.active_kernel());
    save_simulated_board(ports);
    add_exit_hook([&ports] { return final_save_of_simulated_board(ports); });
    add_exit_hook([leave_folder] {
        leave_folder();
        return 0;
    });
    static const PortSetup* failing_ports = nullptr;
    failing_ports = &ports;
    fan_failsafe_install([] { save_simulated_board(*failing_ports); });

    // The run's clock: it stands still but for the played seconds, and every wait of the
    // hardware code passes on it at once. The window's steps run over it.
    VirtualClock clock;
    clock.now = RealClock().now_ms();
    install_clock(&clock);
    UnattendedPrompts prompts;
    int written = 0;
    bool failed = false;
    try {
        TMain window(prompts, args, ports.notes);
        window.show();
        play_stress_run(window, *ports.machine, clock);
        window.EnableHardwareStepping();
        wait_ms(kSettleMs);
        // The update periods back to what a user starts with, as the pictures show them.
        const MainSettings defaults;
        window.settings_tab.CSpinEditLoadUpdate->setValue(defaults.load_update);
        window.sensor_tab.CSpinEditSensorUpdate->setValue(defaults.update);
        if (!ports.machine->world().faults.empty()) {
            std::fprintf(stderr, "velmora_screenshots: profile %d: the board recorded: %s\n",
                         profile, ports.machine->world().faults.front().c_str());
            failed = true;
        }

        QTabWidget* pages = window.PageControl1;
        for (int i = 0; i < pages->count(); ++i) {
            if (!pages->isTabVisible(i))
                continue;
            pages->setCurrentIndex(i);
            wait_ms(kTabSettleMs);
            const std::string name = "profile-" + std::to_string(profile) + "-" +
                                     file_name_of_caption(pages->tabText(i)) + ".png";
            const fs::path path = out_dir / name;
            if (!window.grab().save(QString::fromStdString(path.string()), "PNG")) {
                std::fprintf(stderr, "velmora_screenshots: %s cannot be written\n",
                             path.string().c_str());
                failed = true;
                continue;
            }
            std::printf("%s\n", (fs::path(shown_dir) / name).string().c_str());
            std::fflush(stdout);
            ++written;
        }
        // A close while hardware work steps waits for it, then closes and quits by itself.
        if (!window.close())
            QApplication::exec();
    } catch (const std::exception& e) {
        prompts.show_message(e.what());
        failed = true;
    }
    const int code = run_exit_hooks(0);
    install_port_backend(nullptr);
    install_clock(nullptr);
    if (written == 0) {
        std::fprintf(stderr, "velmora_screenshots: profile %d: no tab to take\n", profile);
        failed = true;
    }
    return failed ? 1 : code;
}

// Runs this program again for one profile; its exit code, or 1 when it could not be run.
int run_child(const std::string& out_dir, int profile) {
    const std::string number = std::to_string(profile);
    char self[] = "/proc/self/exe";
    std::vector<char*> argv = {self, const_cast<char*>(out_dir.c_str()),
                               const_cast<char*>(number.c_str()), nullptr};
    std::fflush(stdout);
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "velmora_screenshots: cannot start myself again: %s\n",
                     std::strerror(errno));
        return 1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '\0' || !std::strcmp(argv[1], "-h") ||
        !std::strcmp(argv[1], "--help")) {
        usage();
        return argc < 2 ? 2 : 0;
    }
    std::vector<int> profiles;
    for (int i = 2; i < argc; ++i) {
        int profile = 0;
        if (!parse_profile(argv[i], profile)) {
            std::fprintf(stderr, "velmora_screenshots: there is no simulated board \"%s\"\n",
                         argv[i]);
            usage();
            return 2;
        }
        profiles.push_back(profile);
    }
    if (profiles.empty())
        profiles = kDefaultProfiles;

    const std::string shown_dir = argv[1];
    std::error_code error;
    fs::create_directories(shown_dir, error);
    const fs::path out_dir = fs::absolute(shown_dir, error);
    if (error || !fs::is_directory(out_dir)) {
        std::fprintf(stderr, "velmora_screenshots: %s is no folder to write to\n",
                     shown_dir.c_str());
        return 1;
    }

    if (profiles.size() == 1)
        return shoot_profile(shown_dir, out_dir, profiles.front(), argv[0]);
    // One process per profile, as every start of velmora is one.
    int code = 0;
    for (int profile : profiles) {
        const int result = run_child(shown_dir, profile);
        if (result != 0) {
            std::fprintf(stderr, "velmora_screenshots: profile %d ended with %d\n", profile,
                         result);
            code = 1;
        }
    }
    return code;
}
