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

namespace qrt::cli {

namespace {

// A number argument checked whole and in range, as the decimal text the core scans.
std::variant<std::string, ArgumentError> numberText(std::string_view what, std::string_view text,
                                                    std::int64_t low, std::int64_t high) {
    const auto value = parseInteger(what, text, low, high);
    if (const auto* error = std::get_if<ArgumentError>(&value)) {
        return *error;
    }
    return std::to_string(std::get<std::int64_t>(value));
}

}  // namespace

int runSend(const ConnectionOptions& connectionOptions, const SendOptions& options) {
    // Everything is checked before a port opens: a bad argument sends nothing.
    commands::ConfigurationFields fields;
    const auto command = parseCommand(options.command);
    if (const auto* error = std::get_if<ArgumentError>(&command)) {
        return fail(error->message, exit_status::kUsage);
    }
    fields.commandIndex = std::get<int>(command);
    const auto parsed = parseOptionalModule("--module", options.module);
    if (const auto* error = std::get_if<ArgumentError>(&parsed)) {
        return fail(error->message, exit_status::kUsage);
    }
    const auto module = std::get<std::optional<ModuleName>>(parsed);
    if (module) {
        fields.serial = std::to_string(module->serial);
        fields.type = std::to_string(module->type);
    }
    fields.broadcast = options.broadcast;
    if (!options.inductive && !module && !options.broadcast) {
        return fail("a radio command needs --module TYPE.SERIAL or --broadcast",
                    exit_status::kUsage);
    }
    for (const auto& [what, text, low, high, field] :
         {std::tuple{"--byte-par", options.bytePar, 0, 255, &fields.bytePar},
          std::tuple{"--word-par", options.wordPar, -32768, 65535, &fields.wordPar}}) {
        auto checked = numberText(what, text, low, high);
        if (const auto* error = std::get_if<ArgumentError>(&checked)) {
            return fail(error->message, exit_status::kUsage);
        }
        *field = std::get<std::string>(checked);
    }
    if (options.content.size() > fields.contentWords.size()) {
        return fail("--content takes at most eight words", exit_status::kUsage);
    }
    for (std::size_t i = 0; i < options.content.size(); ++i) {
        auto checked = numberText("--content", options.content[i], -32768, 65535);
        if (const auto* error = std::get_if<ArgumentError>(&checked)) {
            return fail(error->message, exit_status::kUsage);
        }
        // Words above 32767 are given as the negative number of the same 16 bits ("%hi").
        const auto value = std::stol(std::get<std::string>(checked));
        fields.contentWords[i] = std::to_string(static_cast<std::int16_t>(value));
    }
    fields.content = !options.content.empty();
    fields.secondContent = options.content.size() > 4;
    fields.authenticate = options.authenticate;
    const std::uint8_t code = commands::itemAt(commands::kCommandList, fields.commandIndex).value;
    const auto bytePar = static_cast<std::uint8_t>(std::stoi(fields.bytePar));
    const auto expected = commands::expectedReply(code, bytePar);
    if (options.waitReply > 0 && !expected) {
        return fail(std::string("--wait-reply: no module answers ") + options.command +
                        " with a reply of its own",
                    exit_status::kUsage);
    }
    auto opened = openSession(
        connectionOptions, options.inductive ? Needs::BinaryProtocol : Needs::Ports, "--inductive");
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    Session& session = *std::get<std::unique_ptr<Session>>(opened);
    fields.keyFields = session.connection().key;
    app::ToolCore& core = session.core();
    if (options.inductive) {
        commands::sendInductiveCommand(core.sender, fields);
    } else {
        commands::sendRadioCommand(core.sender, fields);
    }
    if (options.waitReply <= 0) {
        return session.listen(options.listen);
    }
    if (module && !options.broadcast) {
        core.poller.idFilter =
            commands::idFilterFor(true, false, fields.serial, fields.type);  // its reply only
    }
    if (const int status = awaitReplies(session, {.replies = {*expected}}, options.waitReply);
        status != exit_status::kDone) {
        return status;
    }
    return session.listen(options.listen);
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
    if (!options.noWait && !awaited.empty()) {
        if (const int status = awaitReplies(session, awaited, options.waitReply);
            status != exit_status::kDone) {
            return status;
        }
    }
    return session.listen(options.listen);
}

// Two numbers checked in range, for writepar and chan-pwr.
std::variant<std::pair<std::string, std::string>, ArgumentError> twoNumbers(
    const std::vector<std::string>& values, std::string_view firstName, std::int64_t firstHigh,
    std::string_view secondName, std::int64_t secondLow, std::int64_t secondHigh) {
    if (values.size() != 2) {
        return ArgumentError{"takes two arguments: " + std::string(firstName) + " " +
                             std::string(secondName)};
    }
    auto first = numberText(firstName, values[0], 0, firstHigh);
    auto second = numberText(secondName, values[1], secondLow, secondHigh);
    if (auto* error = std::get_if<ArgumentError>(&first)) {
        return *error;
    }
    if (auto* error = std::get_if<ArgumentError>(&second)) {
        return *error;
    }
    return std::pair{std::get<std::string>(first), std::get<std::string>(second)};
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
        if (const auto* error = std::get_if<ArgumentError>(&numbers)) {
            return fail(action + ": " + error->message, exit_status::kUsage);
        }
        const auto& [first, second] = std::get<std::pair<std::string, std::string>>(numbers);
        if (parameter) {
            const auto index = parseParameter(first);
            if (const auto* error = std::get_if<ArgumentError>(&index)) {
                return fail(error->message, exit_status::kUsage);
            }
            send = [index = std::get<int>(index), value = second](commands::ServiceCommands& c) {
                c.writeParameter(index, value);
            };
            awaited.replies = {replyTo(
                frames::code::kNvw,
                commands::kParameterList[static_cast<std::size_t>(std::get<int>(index))].value)};
        } else {
            send = [channel = std::stoi(first), power = std::stoi(second)](
                       commands::ServiceCommands& c) { c.radioSettings(channel, power); };
        }
    } else {
        return fail("'" + action + "' is not a service command", exit_status::kUsage);
    }
    auto opened =
        openSession(connectionOptions, needsBinary ? Needs::BinaryProtocol : Needs::Ports, action);
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
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
        byte = 0xE0;
    } else if (action == "boot") {
        byte = 0xF0;
    } else if (action == "led") {
        const auto led = parseLed(options.values[0]);
        if (const auto* error = std::get_if<ArgumentError>(&led)) {
            return fail(error->message, exit_status::kUsage);
        }
        byte = std::get<std::uint8_t>(led);
    } else if (action == "beep") {
        const auto length = parseInteger("beep length", options.values[0], 0, 7);
        if (const auto* error = std::get_if<ArgumentError>(&length)) {
            return fail(error->message, exit_status::kUsage);
        }
        beep = static_cast<int>(std::get<std::int64_t>(length));
    } else if (action == "online") {
        if (options.values[0] != "on" && options.values[0] != "off") {
            return fail("box online takes on or off", exit_status::kUsage);
        }
        byte = options.values[0] == "on" ? 0x41 : 0x40;
    } else {
        return fail("'" + action + "' is not a box command", exit_status::kUsage);
    }
    auto opened = openSession(connectionOptions, Needs::InterfaceBox, "box " + action);
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
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

int runCalibrate(const ConnectionOptions& connectionOptions, const CalibrateOptions& options) {
    if (options.input != 1 && options.input != 2) {
        return fail("calibrate takes input 1 or 2", exit_status::kUsage);
    }
    std::optional<std::int16_t> target;
    if (options.target) {
        const auto value = parseInteger("--target", *options.target, -32768, 32767);
        if (const auto* error = std::get_if<ArgumentError>(&value)) {
            return fail(error->message, exit_status::kUsage);
        }
        target = static_cast<std::int16_t>(std::get<std::int64_t>(value));
    }
    auto opened = openSession(connectionOptions, Needs::BinaryProtocol, "calibrate");
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    Session& session = *std::get<std::unique_ptr<Session>>(opened);
    app::ToolCore& core = session.core();
    const commands::CalibrationResult result = commands::calibrate(
        options.input, target.value_or(session.connection().calibrationTarget), core.sender,
        core.clock, core.poller, [](std::string_view line) { std::cout << line << '\n'; });
    switch (result.outcome) {
        case commands::CalibrationOutcome::Written:
            std::cout << common::format<"old offset %4.2f, new offset %4.2f">(
                             result.oldOffset * 0.01, result.newOffset * 0.01)
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

}  // namespace qrt::cli
