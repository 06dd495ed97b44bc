// send, service, box, the radio settings and measurement requests, and calibrate.
#include <algorithm>
#include <array>
#include <iostream>
#include <sstream>

#include "cli/cli_tasks.h"
#include "cli/reply_wait.h"
#include "commands/calibration.h"
#include "commands/command_tables.h"
#include "commands/expected_reply.h"
#include "commands/radio_command.h"
#include "commands/service_commands.h"
#include "common/text_format.h"
#include "frames/authenticator.h"
#include "receive/channels.h"

namespace qrt::cli {

namespace {

// The content words, four to a block.
common::Result<std::vector<frames::ContentBlock>> contentOf(const std::vector<std::string>& texts) {
    if (texts.size() > 8) {
        return common::Failure{"--content takes at most eight words"};
    }
    std::array<std::uint16_t, 8> words{};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const auto word = tools::parseInteger("--content", texts[i], -32768, 65535);
        if (const auto* failure = common::failureOf(word)) {
            return *failure;
        }
        words[i] = static_cast<std::uint16_t>(std::get<std::int64_t>(word));
    }
    std::vector<frames::ContentBlock> blocks;
    for (std::size_t first = 0; first < texts.size(); first += 4) {
        blocks.push_back(commands::contentBlock(
            {words[first], words[first + 1], words[first + 2], words[first + 3]}));
    }
    return blocks;
}

// The command as the Funk button would send it, checked before a port opens: a bad
// argument sends nothing.
common::Result<commands::RadioCommand> commandOf(const SendOptions& options) {
    const auto code = parseCommand(options.command);
    if (const auto* failure = common::failureOf(code)) {
        return *failure;
    }
    const auto parsed = tools::parseOptionalModule("--module", options.module);
    if (const auto* failure = common::failureOf(parsed)) {
        return *failure;
    }
    const auto module = std::get<std::optional<frames::ModuleAddress>>(parsed);
    if (!options.inductive && !module && !options.broadcast) {
        return common::Failure{"a radio command needs --module TYPE.SERIAL or --broadcast"};
    }
    commands::RadioCommand command{.code = std::get<std::uint8_t>(code),
                                   .target = options.broadcast ? std::nullopt : module,
                                   .authenticate = options.authenticate};
    const auto bytePar = tools::parseInteger("--byte-par", options.bytePar, 0, 255);
    const auto wordPar = tools::parseInteger("--word-par", options.wordPar, -32768, 65535);
    auto content = contentOf(options.content);
    for (const common::Failure* failure :
         {common::failureOf(bytePar), common::failureOf(wordPar), common::failureOf(content)}) {
        if (failure != nullptr) {
            return *failure;
        }
    }
    command.bytePar = static_cast<std::uint8_t>(std::get<std::int64_t>(bytePar));
    command.wordPar = static_cast<std::uint16_t>(std::get<std::int64_t>(wordPar));
    command.content = std::get<std::vector<frames::ContentBlock>>(std::move(content));
    return command;
}

// Sends the command, waits for its replies unless told not to, then listens.
int sendAndAwait(Session& session, const commands::RadioCommand& command,
                 const std::optional<commands::ExpectedReply>& expected,
                 const SendOptions& options) {
    core::ToolCore& core = session.core();
    if (options.inductive) {
        commands::sendInductiveCommand(
            core.sender,
            {.code = command.code, .wordPar = command.wordPar, .bytePar = command.bytePar});
    } else {
        commands::sendRadioCommand(core.sender, command);
    }
    if (options.wait.none || !expected || options.wait.seconds <= 0) {
        return session.listen(options.listen);
    }
    // The addressed module's reply only; what follows (--listen) from every module again.
    const std::uint32_t everyModule = core.poller.idFilter();
    if (command.target) {
        core.poller.setIdFilter(command.target->filterId());
    }
    // A write a module refuses without its authenticator looks like silence.
    const bool mayWantAuthenticator =
        frames::takesAuthenticator(command.code) && !options.authenticate && !options.inductive;
    const AwaitedReplies awaited{
        .replies = {*expected},
        .everyModule = !options.inductive && !command.target,
        .hintIfNone =
            mayWantAuthenticator ? " (the module may want the authenticator: --auth)" : ""};
    const int status = awaitReplies(session, awaited, options.wait.seconds);
    core.poller.setIdFilter(everyModule);
    return status == exit_status::kDone ? session.listen(options.listen) : status;
}

}  // namespace

int runSend(const ConnectionOptions& connectionOptions, const SendOptions& options) {
    const auto checked = commandOf(options);
    if (const auto* failure = common::failureOf(checked)) {
        return fail(failure->reason, exit_status::kUsage);
    }
    const commands::RadioCommand& command = std::get<commands::RadioCommand>(checked);
    const auto expected = commands::expectedReply(command.code, command.bytePar);
    if (options.wait.given && !expected) {
        return fail(std::string("--wait-reply: no module answers ") + options.command +
                        " with a reply of its own",
                    exit_status::kUsage);
    }
    auto opened = openSession(
        connectionOptions, options.inductive ? Needs::BinaryProtocol : Needs::Ports, "--inductive");
    if (const auto* failure = common::failureOf(opened)) {
        return fail(failure->reason, exit_status::kUsage);
    }
    Session& session = *std::get<std::unique_ptr<Session>>(opened);
    return session.finish(sendAndAwait(session, command, expected, options));
}

namespace {

// The service commands without arguments, whether the head must speak binary frames,
// and the frames (code, BytePar) whose replies are awaited.
struct SimpleService {
    const char* name;
    bool needsBinary;
    void (*send)(commands::ServiceCommands&);
    AwaitedReplies awaited{};
};

// The reply to a frame sent with `code` and `bytePar`.
commands::ExpectedReply replyTo(std::uint8_t code, std::uint8_t bytePar) {
    return commands::expectedReply(code, bytePar).value_or(commands::ExpectedReply{});
}

const std::array<SimpleService, 13>& simpleServices() {
    namespace c = frames::code;
    static const std::array<SimpleService, 13> kServices{{
        {"ver", false, [](commands::ServiceCommands& s) { s.version(); }, {{replyTo(c::kVer, 0)}}},
        {"nvp",
         false,
         [](commands::ServiceCommands& s) { s.parameterPage(); },
         {{commands::kParameterPageReply}}},
        {"start", false, [](commands::ServiceCommands& s) { s.start(); }},
        {"stop", false, [](commands::ServiceCommands& s) { s.stop(); }},
        {"log-on", true, [](commands::ServiceCommands& s) { s.logOn(); }},
        {"log-off", true, [](commands::ServiceCommands& s) { s.logOff(); }},
        {"get-rtc",
         true,
         [](commands::ServiceCommands& s) { s.getClock(); },
         {{replyTo(c::kNvr, 65), replyTo(c::kNvr, 66)}}},
        {"set-rtc",
         true,
         [](commands::ServiceCommands& s) { s.setClock(); },
         {{replyTo(c::kNvw, 66), replyTo(c::kNvw, 68), replyTo(c::kNvw, 71)}}},
        {"temp",
         true,
         [](commands::ServiceCommands& s) { s.measure(0, 0); },
         {{replyTo(c::kMeasure, 0)}}},
        {"temp1",
         true,
         [](commands::ServiceCommands& s) { s.measure(0, 1); },
         {{replyTo(c::kMeasure, 1)}}},
        {"temp2",
         true,
         [](commands::ServiceCommands& s) { s.measure(0, 2); },
         {{replyTo(c::kMeasure, 2)}}},
        {"digital",
         true,
         [](commands::ServiceCommands& s) { s.measure(0, 3); },
         {{replyTo(c::kMeasure, 3)}}},
        {"leds", true, [](commands::ServiceCommands& s) { s.measure(4, 4); }},
    }};
    return kServices;
}

// Sends, then waits for the replies unless told not to, then listens.
int sendAndWait(Session& session, const std::function<void(commands::ServiceCommands&)>& send,
                const AwaitedReplies& awaited, const ServiceOptions& options) {
    commands::ServiceCommands commands(session.core().sender, session.core().clock);
    send(commands);
    int status = exit_status::kDone;
    if (!options.wait.none && !awaited.empty()) {
        status = awaitReplies(session, awaited, options.wait.seconds);
    }
    return session.finish(status == exit_status::kDone ? session.listen(options.listen) : status);
}

// Two numbers checked in range, for writepar and chan-pwr.
common::Result<std::pair<std::int64_t, std::int64_t>> twoNumbers(
    const std::vector<std::string>& values, std::string_view firstName, std::int64_t firstHigh,
    std::string_view secondName, std::int64_t secondLow, std::int64_t secondHigh) {
    if (values.size() != 2) {
        return common::Failure{"takes two arguments: " + std::string(firstName) + " " +
                               std::string(secondName)};
    }
    const auto first = tools::parseInteger(firstName, values[0], 0, firstHigh);
    const auto second = tools::parseInteger(secondName, values[1], secondLow, secondHigh);
    for (const auto* checked : {&first, &second}) {
        if (const auto* error = common::failureOf(*checked)) {
            return *error;
        }
    }
    return std::pair{std::get<std::int64_t>(first), std::get<std::int64_t>(second)};
}

}  // namespace

int runService(const ConnectionOptions& connectionOptions, const ServiceOptions& options) {
    const std::string& action = options.action;
    std::function<void(commands::ServiceCommands&)> send;
    bool needsBinary = false;
    AwaitedReplies awaited;
    const auto& services = simpleServices();
    const auto simple = std::find_if(services.begin(), services.end(),
                                     [&](const SimpleService& s) { return action == s.name; });
    if (simple != services.end()) {
        if (!options.values.empty()) {
            return fail(action + " takes no arguments", exit_status::kUsage);
        }
        send = simple->send;
        needsBinary = simple->needsBinary;
        awaited = simple->awaited;
    } else if (action == "writepar" || action == "chan-pwr") {
        const bool parameter = action == "writepar";
        const auto numbers =
            parameter ? twoNumbers(options.values, "parameter", 255, "value", -32768, 65535)
                      : twoNumbers(options.values, "channel", 9, "power", 0, 9);
        if (const auto* error = common::failureOf(numbers)) {
            return fail(action + ": " + error->reason, exit_status::kUsage);
        }
        const auto [first, second] = std::get<std::pair<std::int64_t, std::int64_t>>(numbers);
        if (parameter) {
            const auto parameterNumber = parseParameter(options.values[0]);
            if (const auto* error = common::failureOf(parameterNumber)) {
                return fail(error->reason, exit_status::kUsage);
            }
            const std::uint8_t written = std::get<std::uint8_t>(parameterNumber);
            send = [written, value = static_cast<std::int32_t>(second)](
                       commands::ServiceCommands& c) { c.writeParameter(written, value); };
            awaited.replies = {replyTo(frames::code::kNvw, written)};
        } else {
            send = [channel = static_cast<int>(first), power = static_cast<int>(second)](
                       commands::ServiceCommands& c) { c.radioSettings(channel, power); };
        }
    } else {
        return fail("'" + action + "' is not a service command", exit_status::kUsage);
    }
    auto opened =
        openSession(connectionOptions, needsBinary ? Needs::BinaryProtocol : Needs::Ports, action);
    if (const auto* failure = common::failureOf(opened)) {
        return fail(failure->reason, exit_status::kUsage);
    }
    return sendAndWait(*std::get<std::unique_ptr<Session>>(opened), send, awaited, options);
}

int runBox(const ConnectionOptions& connectionOptions, const ServiceOptions& options) {
    const std::string& action = options.action;
    std::optional<std::uint8_t> byte;
    std::optional<int> beep;
    const std::size_t wanted = action == "version" || action == "boot" ? 0 : 1;
    if (options.values.size() != wanted) {
        return fail("box " + action + " takes " + std::to_string(wanted) + " argument" +
                        (wanted == 1 ? "" : "s"),
                    exit_status::kUsage);
    }
    if (action == "version") {
        byte = frames::box::kVersion;
    } else if (action == "boot") {
        byte = frames::box::kBoot;
    } else if (action == "led") {
        const auto led = parseLed(options.values[0]);
        if (const auto* error = common::failureOf(led)) {
            return fail(error->reason, exit_status::kUsage);
        }
        byte = std::get<std::uint8_t>(led);
    } else if (action == "beep") {
        const auto length = tools::parseInteger("beep length", options.values[0], 0, 7);
        if (const auto* error = common::failureOf(length)) {
            return fail(error->reason, exit_status::kUsage);
        }
        beep = static_cast<int>(std::get<std::int64_t>(length));
    } else if (action == "online") {
        if (options.values[0] != "on" && options.values[0] != "off") {
            return fail("box online takes on or off", exit_status::kUsage);
        }
        byte = options.values[0] == "on" ? frames::box::kOnline : frames::box::kOffline;
    } else {
        return fail("'" + action + "' is not a box command", exit_status::kUsage);
    }
    auto opened = openSession(connectionOptions, Needs::InterfaceBox, "box " + action);
    if (const auto* failure = common::failureOf(opened)) {
        return fail(failure->reason, exit_status::kUsage);
    }
    const auto send = [&](commands::ServiceCommands& commands) {
        if (beep) {
            commands.beep(*beep);
        } else {
            commands.boxCommand(*byte);
        }
    };
    return sendAndWait(*std::get<std::unique_ptr<Session>>(opened), send,
                       {.boxStatus = action == "version"}, options);
}

namespace {

// The exit status of a calibration, its offsets printed when it wrote one.
int calibrationStatus(Session& session, const commands::CalibrationResult& result) {
    switch (result.outcome) {
        case commands::CalibrationOutcome::Written:
            std::cout << common::format<"old offset %4.2f, new offset %4.2f">(
                             result.oldOffset * receive::kTemperatureScale,
                             result.newOffset * receive::kTemperatureScale)
                      << '\n';
            return exit_status::kDone;
        case commands::CalibrationOutcome::OutOfRange:
            return exit_status::kRefused;
        case commands::CalibrationOutcome::PortLost:
            return session.portLost();
        case commands::CalibrationOutcome::Interrupted:
            return exit_status::kInterrupted;
        default:
            return fail("no answer from the module on the inductive head", exit_status::kNoAnswer);
    }
}

}  // namespace

int runCalibrate(const ConnectionOptions& connectionOptions, const CalibrateOptions& options) {
    if (options.input != 1 && options.input != 2) {
        return fail("calibrate takes input 1 or 2", exit_status::kUsage);
    }
    if (options.noWait) {
        return fail("calibrate is the module's replies: it cannot be done with --no-wait",
                    exit_status::kUsage);
    }
    std::optional<std::int16_t> target;
    if (options.target) {
        const auto value = tools::parseInteger("--target", *options.target, -32768, 32767);
        if (const auto* error = common::failureOf(value)) {
            return fail(error->reason, exit_status::kUsage);
        }
        target = static_cast<std::int16_t>(std::get<std::int64_t>(value));
    }
    auto opened = openSession(connectionOptions, Needs::BinaryProtocol, "calibrate");
    if (const auto* failure = common::failureOf(opened)) {
        return fail(failure->reason, exit_status::kUsage);
    }
    Session& session = *std::get<std::unique_ptr<Session>>(opened);
    core::ToolCore& core = session.core();
    const commands::CalibrationResult result = commands::calibrate(
        options.input, target.value_or(session.connection().calibrationTarget), core.sender,
        core.clock, core.poller, [](std::string_view line) { std::cout << line << '\n'; });
    return session.finish(calibrationStatus(session, result));
}

}  // namespace qrt::cli
