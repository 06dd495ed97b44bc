#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/log_pane.h"
#include "support/child_process.h"
#include "support/fake_dialogs.h"
#include "support/real_window.h"
#include "support/temp_folder.h"

namespace qrt::testing {

/// qrt-sim on pseudo-terminals and the real main window opened on them.
class SimWindowFixture {
  protected:
    explicit SimWindowFixture(std::unique_ptr<common::Clock> clock)
        : ownClock_(std::move(clock)), clock_(*ownClock_) {}
    ~SimWindowFixture() {
        window_.ui.reset();  // the window before the core it uses
        window_.form.reset();
        window_.core.reset();
        sim_.reset();
    }

    [[nodiscard]] std::string path(const char* name) const { return folder_.file(name); }

    /// Starts the simulator with `simArgs` and the window with `moreSettings`, and opens.
    void start(const std::vector<std::string>& simArgs, const std::string& moreSettings) {
        std::vector<std::string> args{QRT_SIM_PATH, "--link-a", path("a"), "--link-b", path("b")};
        args.insert(args.end(), simArgs.begin(), simArgs.end());
        sim_ = std::make_unique<ChildProcess>(args, path("sim.log"));
        ASSERT_TRUE(waitForText(path("sim.log"), "module ")) << readText(path("sim.log"));
        window_ = realWindow(folder_.path().string(), path("a"), path("b"), clock_, dialogs_,
                             diagnostics_, moreSettings);
        core_ = window_.core.get();
        form_ = window_.form.get();
        ui_ = window_.ui.get();
        ASSERT_TRUE(openLink(window_)) << dialogs_.messages.join(";").toStdString();
    }

    /// Polls until a line of the pane holds `text`.
    ::testing::AssertionResult paneHas(const app::LogPane* pane, const std::string& text) {
        const bool found = waitFor(
            [&] {
                form_->Timer1Timer();
                return pane->toPlainText().toStdString().find(text) != std::string::npos;
            },
            std::chrono::seconds(15));
        if (found) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "not found: " << text << "\nin:\n"
                                             << pane->toPlainText().toStdString();
    }

    /// The simulator closes its ports as a pulled adapter would, or opens them again.
    void pullAdapter() {
        sim_->signal(SIGUSR1);
        ASSERT_TRUE(waitForText(path("sim.log"), "ports closed"));
    }
    void replug() {
        sim_->signal(SIGUSR2);
        ASSERT_TRUE(waitFor(
            [&] {
                const std::string log = readText(path("sim.log"));
                return log.rfind("ports back") != std::string::npos &&
                       log.rfind("ports back") > log.rfind("ports closed");
            },
            std::chrono::seconds(10)));
    }

    TempFolder folder_{"qrt_e2e"};
    std::unique_ptr<common::Clock> ownClock_;
    common::Clock& clock_;
    FakeDialogs dialogs_;
    std::ostringstream diagnostics_;
    std::unique_ptr<ChildProcess> sim_;
    RealWindow window_;
    core::ToolCore* core_ = nullptr;
    TMainForm* form_ = nullptr;
    MainFormControls* ui_ = nullptr;
};

}  // namespace qrt::testing
