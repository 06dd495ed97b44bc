// firmware: the whole transfer, paced by polls, then status requests and the resend of
// each block the module reports missing, until it reports the image complete.
#include <iostream>

#include "cli/cli_tasks.h"
#include "cli/progress.h"
#include "firmware/firmware_transfer.h"
#include "shared/live_watch.h"

namespace qrt::cli {

namespace {

using namespace std::chrono_literals;

constexpr auto kStatusWait = 5s;        // for the answer to one status request
constexpr int kUnansweredRequests = 3;  // status requests without an answer: time-out
constexpr int kMaxResends = 64;         // missing blocks reported: then it is an error

class ProgressView final : public firmware::FirmwareView {
  public:
    ProgressView(firmware::FirmwareTarget target, int speed)
        : target_(std::move(target)), speed_(speed), progress_("firmware") {}
    [[nodiscard]] firmware::FirmwareTarget target() const override { return target_; }
    [[nodiscard]] int speed() const override { return speed_; }
    void showBlock(std::uint32_t) override {}
    void showBlockCount(std::uint32_t) override {}
    void showProgress(std::uint32_t sent, std::uint32_t count) override {
        progress_.show(sent, count);
    }
    void showStatus(const firmware::FirmwareStatus& reported) override { status = reported; }
    void finish() { progress_.finish(); }

    std::optional<firmware::FirmwareStatus> status;  // the answer to the last status request

  private:
    firmware::FirmwareTarget target_;
    int speed_;
    Progress progress_;
};

common::Result<firmware::FirmwareTarget> checkFirmwareOptions(const FirmwareOptions& options) {
    const auto module = tools::parseOptionalModule("--module", options.module);
    if (const auto* failure = common::failureOf(module)) {
        return *failure;
    }
    const firmware::FirmwareTarget target{
        .singleModule = std::get<std::optional<frames::ModuleAddress>>(module).has_value(),
        .module = std::get<std::optional<frames::ModuleAddress>>(module)};
    if (options.speed < 2 || options.speed > 5) {
        return common::Failure{"--speed '" + std::to_string(options.speed) +
                               "' is out of range (2 to 5)"};
    }
    if (options.reboot && !target.singleModule) {
        return common::Failure{"--reboot needs --module"};
    }
    return target;
}

// The image's blocks, sent one per `--speed` polls until the transfer is through.
tools::LiveEnd sendBlocks(core::ToolCore& core, const firmware::FirmwareTransfer& transfer) {
    return tools::pollLive(core, {.done = [&transfer] { return !transfer.running(); }});
}

// Why the transfer ended before its end: the exit status.
int interrupted(Session& session, tools::LiveEnd end) {
    return end == tools::LiveEnd::PortLost ? session.portLost() : exit_status::kInterrupted;
}

// Asks the module for the image's status, sends each block it reports missing again,
// until it reports the image complete or faulty; the exit status.
int awaitComplete(Session& session, firmware::FirmwareTransfer& transfer, ProgressView& view,
                  bool reboot) {
    using Kind = firmware::FirmwareStatus::Kind;
    core::ToolCore& core = session.core();
    for (int unanswered = 0, resends = 0; unanswered < kUnansweredRequests;) {
        view.status.reset();
        transfer.requestStatus();
        const auto end = tools::pollLive(
            core, {.duration = kStatusWait, .done = [&view] { return view.status.has_value(); }});
        if (end == tools::LiveEnd::PortLost || end == tools::LiveEnd::Stopped) {
            return interrupted(session, end);
        }
        if (!view.status) {
            ++unanswered;
            continue;
        }
        unanswered = 0;
        const firmware::FirmwareStatus status = *view.status;
        if (status.kind == Kind::Complete) {
            std::cout << "Good\n";
            if (reboot) {
                transfer.reboot();
            }
            return exit_status::kDone;
        }
        if (status.kind == Kind::Faulty) {
            return fail("the module reports the image faulty", exit_status::kRefused);
        }
        if (++resends > kMaxResends) {
            return fail("the module still misses blocks after " + std::to_string(kMaxResends) +
                            " resends (block " + std::to_string(status.block) + ")",
                        exit_status::kRefused);
        }
        std::cerr << "qrt-cli: block " << status.block << " missing, sent again\n";
        if (const auto resent = sendBlocks(core, transfer); resent != tools::LiveEnd::Done) {
            return interrupted(session, resent);
        }
    }
    return fail("no answer to the status request", exit_status::kNoAnswer);
}

// The image's blocks, then its status until complete; the exit status.
int transferImage(Session& session, const firmware::FirmwareTarget& target,
                  const FirmwareOptions& options) {
    core::ToolCore& core = session.core();
    ProgressView view(target, options.speed);
    firmware::FirmwareTransfer transfer(core.sender, core.clock, view);
    const common::Attachment paced = core.attach(
        {.firmwarePacing = [&transfer] { transfer.pace(); },
         .firmwareStatus =
             [&transfer](const frames::StandardFrame& frame) { transfer.statusReply(frame); }});
    if (transfer.start(options.image) != firmware::FirmwareTransfer::StartResult::Started) {
        // The image was not sent.
        return fail(firmware::refusalText(*transfer.refusal()), exit_status::kUsage);
    }
    const tools::LiveEnd sent = sendBlocks(core, transfer);
    view.finish();
    if (sent != tools::LiveEnd::Done) {
        return interrupted(session, sent);
    }
    if (!target.singleModule || options.noWait) {
        std::cout << transfer.blockCount() << " blocks sent to "
                  << (target.singleModule ? target.module->text() : "every module in range")
                  << '\n';
        return exit_status::kDone;
    }
    return awaitComplete(session, transfer, view, options.reboot);
}

}  // namespace

int runFirmware(const ConnectionOptions& connectionOptions, const FirmwareOptions& options) {
    const auto checked = checkFirmwareOptions(options);
    if (const auto* failure = common::failureOf(checked)) {
        return fail(failure->reason, exit_status::kUsage);
    }
    const firmware::FirmwareTarget& target = std::get<firmware::FirmwareTarget>(checked);
    // The recording is opened before the image is read: it may never replace the image.
    if (const auto clash =
            outputClash(connectionOptions,
                        {{"IMAGE", options.image}, {"--record", connectionOptions.record.path}})) {
        return fail(*clash, exit_status::kUsage);
    }
    auto opened = openSession(connectionOptions);
    if (const auto* failure = common::failureOf(opened)) {
        return fail(failure->reason, exit_status::kUsage);
    }
    Session& session = *std::get<std::unique_ptr<Session>>(opened);
    return session.finish(transferImage(session, target, options));
}

}  // namespace qrt::cli
