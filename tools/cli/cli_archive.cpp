// archive: a logging module's archive read and written as the archive window writes it;
// watch: the live receive path of qrt-monitor --port.
#include <iostream>

#include "archive/archive_retrieval.h"
#include "archive/csv_export.h"
#include "cli/cli_tasks.h"
#include "cli/progress.h"
#include "common/replacing_file.h"
#include "shared/live_watch.h"
#include "shared/tool_output.h"
#include "values/value_file.h"

namespace qrt::cli {

namespace {

class ProgressView final : public archive::RetrievalView {
  public:
    void showModule(const std::optional<frames::ModuleAddress>&) override {}
    void showBusy() override {}
    void showProgress(std::uint32_t received, std::uint32_t total) override {
        received_ = received;
        progress_.show(received, total);
    }
    /// A read stops at the selected start, short of the ring's blocks: it says how many
    /// it read rather than leaving the bar part way.
    void finish(bool read) {
        read ? progress_.finish(std::to_string(received_) + " blocks read") : progress_.finish();
    }

  private:
    Progress progress_{"archive"};
    std::uint32_t received_ = 0;
};

// The task's arguments, checked before anything is sent.
struct ArchiveTask {
    std::optional<frames::ModuleAddress> module;
    archive::DateTimeValue start = 0;
    values::ValueFormat valuesFormat{};
};

common::Result<ArchiveTask> checkArchiveOptions(const ConnectionOptions& connectionOptions,
                                                const ArchiveOptions& options) {
    if (options.noWait) {
        return common::Failure{
            "archive reads the module's replies: it cannot be done with --no-wait"};
    }
    const auto module = tools::parseOptionalModule("--module", options.module);
    if (const auto* failure = common::failureOf(module)) {
        return *failure;
    }
    ArchiveTask task{.module = std::get<std::optional<frames::ModuleAddress>>(module)};
    if (options.radio && (!task.module || task.module->type == 0 || task.module->serial == 0)) {
        return common::Failure{"--radio needs --module TYPE.SERIAL, type and serial number not 0"};
    }
    const auto since = tools::parseDateTime("--since", options.since);
    if (const auto* failure = common::failureOf(since)) {
        return *failure;
    }
    task.start = std::get<archive::DateTimeValue>(since);
    const auto format = parseValueFormat(options.valuesFormat);
    if (const auto* failure = common::failureOf(format)) {
        return *failure;
    }
    task.valuesFormat = std::get<values::ValueFormat>(format);
    if (const auto clash =
            outputClash(connectionOptions, {{"-o", options.output},
                                            {"--values", options.values},
                                            {"--record", connectionOptions.record.path}})) {
        return common::Failure{*clash};
    }
    return task;
}

// The exit status of a retrieval that left nothing to export.
int unexportable(const archive::RetrievalOutcome& outcome, Session& session) {
    using End = archive::RetrievalOutcome::End;
    switch (outcome.end) {
        case End::PortLost:
            return session.portLost();
        case End::Interrupted:
            return exit_status::kInterrupted;
        case End::DateError:
            return fail(outcome.dateError, exit_status::kRefused);
        case End::MissingBlocks:
            return fail("blocks are missing; read again", exit_status::kRefused);
        case End::NoRecord:
            return fail("no record found in the archive", exit_status::kRefused);
        default:  // no answer, or not asked (refused with the arguments already)
            return fail("no answer from the module", exit_status::kNoAnswer);
    }
}

// The CSV (and the values) of what was read, each into its file; the exit status.
int exportArchive(const archive::ArchiveRead& read, const ArchiveTask& task,
                  const receive::ArchiveStore& store, const ArchiveOptions& options,
                  common::ReplacingFile& csv, common::ReplacingFile* valueFile) {
    const archive::ExportSource source = read.exportFrom(store.archiveWords, task.start);
    std::ostringstream lines;
    const archive::ExportResult result = archive::writeCsv(source, lines);
    if (!result.completed) {
        return fail(result.error, exit_status::kRefused);
    }
    if (result.rows == 0) {
        // Nothing to export: no file is written, an existing one stays as it was.
        return fail(archive::noRowsText(task.start, result.newestRow), exit_status::kRefused);
    }
    if (valueFile != nullptr) {
        const receive::ValueSource archiveModule{.kind = receive::ValueSource::Kind::Archive,
                                                 .module = read.module};
        values::ValueWriter writer(task.valuesFormat);
        std::string rows = writer.header();
        archive::archiveValues(source, archiveModule, [&](const receive::Measurement& value) {
            writer.append(value, rows);
        });
        valueFile->write(rows);
    }
    csv.write(lines.str());
    for (common::ReplacingFile* file : {&csv, valueFile}) {
        if (file != nullptr && !file->commit()) {
            return fail(file->failure(), exit_status::kUsage);
        }
    }
    std::cerr << "qrt-cli: " << read.module.text() << ": " << result.rows << " rows from "
              << archive::dateAndTime(*result.firstRow) << " to "
              << archive::dateAndTime(*result.lastRow) << " written to " << options.output << '\n';
    return exit_status::kDone;
}

}  // namespace

int runArchive(const ConnectionOptions& connectionOptions, const ArchiveOptions& options) {
    const auto checked = checkArchiveOptions(connectionOptions, options);
    if (const auto* failure = common::failureOf(checked)) {
        return fail(failure->reason, exit_status::kUsage);
    }
    const ArchiveTask& task = std::get<ArchiveTask>(checked);
    // The outputs are checked before anything is sent, and an existing file is replaced
    // only by a complete export.
    common::ReplacingFile csv(options.output);
    if (!csv.isOpen()) {
        return fail(csv.failure(), exit_status::kUsage);
    }
    std::optional<common::ReplacingFile> valueFile;
    if (!options.values.empty()) {
        valueFile.emplace(options.values);
        if (!valueFile->isOpen()) {
            return fail(valueFile->failure(), exit_status::kUsage);
        }
    }
    auto opened = openSession(connectionOptions);
    if (const auto* failure = common::failureOf(opened)) {
        return fail(failure->reason, exit_status::kUsage);
    }
    Session& session = *std::get<std::unique_ptr<Session>>(opened);
    core::ToolCore& core = session.core();
    ProgressView view;
    archive::ArchiveRetrieval retrieval(core.sender, core.clock, core.poller, core.archive, view);
    const archive::RetrievalOutcome outcome = retrieval.retrieve(
        {.radio = options.radio, .module = task.module, .selectedStart = task.start});
    view.finish(outcome.end == archive::RetrievalOutcome::End::Exportable);
    return session.finish(outcome.end == archive::RetrievalOutcome::End::Exportable
                              ? exportArchive(outcome.read, task, core.archive, options, csv,
                                              valueFile ? &*valueFile : nullptr)
                              : unexportable(outcome, session));
}

int runWatch(const ConnectionOptions& connectionOptions, const WatchOptions& options) {
    auto connection = tools::resolveConnection(connectionOptions);
    if (const auto* error = common::failureOf(connection)) {
        return fail(error->reason, exit_status::kUsage);
    }
    const auto module = tools::parseOptionalModule("--filter", options.filter);
    if (const auto* error = common::failureOf(module)) {
        return fail(error->reason, exit_status::kUsage);
    }
    std::uint32_t filter = 0;
    if (const auto& name = std::get<std::optional<frames::ModuleAddress>>(module)) {
        filter = name->filterId();
    }
    const auto format = parseValueFormat(options.valuesFormat);
    if (const auto* error = common::failureOf(format)) {
        return fail(error->reason, exit_status::kUsage);
    }
    if (const auto clash = outputClash(
            connectionOptions,
            {{"--values", options.values}, {"--record", connectionOptions.record.path}})) {
        return fail(*clash, exit_status::kUsage);
    }
    std::optional<values::ValueFile> valueFile;
    if (!options.values.empty()) {
        valueFile.emplace(
            values::ValueFile::open(options.values, std::get<values::ValueFormat>(format)));
        if (valueFile->failed()) {
            return fail(valueFile->failure(), exit_status::kUsage);
        }
    }
    Session session(std::get<Connection>(connection), {.idFilter = filter});
    if (auto failure = session.record()) {
        return fail(failure->reason, exit_status::kUsage);
    }
    core::ToolCore& core = session.core();
    tools::ToolOutput output(std::move(valueFile));
    const common::Attachment shown =
        core.attach({.lines = &output.lines(), .measurements = output.measurements()});
    const int status = tools::watchPort(core, session.connection().portA, "qrt-cli", output);
    if (!output.finish() && status == exit_status::kDone) {
        return session.finish(fail(output.failure(), exit_status::kUsage));
    }
    // Ended by Ctrl+C or SIGTERM: the program ends by the signal, as every task does.
    return session.finish(status == exit_status::kDone && tools::stopRequested()
                              ? exit_status::kInterrupted
                              : status);
}

}  // namespace qrt::cli
