// archive: a logging module's archive read and written as the archive window writes it;
// watch: the live receive path of qrt-monitor --port.
#include <iostream>

#include "archive/archive_retrieval.h"
#include "archive/csv_export.h"
#include "cli/cli_tasks.h"
#include "cli/progress.h"
#include "commands/radio_command.h"
#include "common/replacing_file.h"
#include "shared/live_watch.h"
#include "shared/tool_output.h"
#include "values/value_file.h"

namespace qrt::cli {

namespace {

class ProgressView final : public archive::RetrievalView {
  public:
    void showId(const std::string& text) override { id = text; }
    void showStatus(const std::string& text, archive::StatusColour) override { status = text; }
    void showFirstRecord(const std::string& date, const std::string& time) override {
        firstRecord = date + " " + time;
    }
    void enableCsv(bool enabled) override { exportable = enabled; }
    void showProgress(std::uint32_t received, std::uint32_t total) override {
        progress_.show(received, total);
    }
    void dateError(const std::string& message) override { error = message; }
    void finish() { progress_.finish(); }

    std::string id;
    std::string status;
    std::string firstRecord;
    std::string error;
    bool exportable = false;

  private:
    Progress progress_{"archive"};
};

}  // namespace

int runArchive(const ConnectionOptions& connectionOptions, const ArchiveOptions& options) {
    const auto parsed = parseOptionalModule("--module", options.module);
    if (const auto* error = std::get_if<ArgumentError>(&parsed)) {
        return fail(error->message, exit_status::kUsage);
    }
    const auto module = std::get<std::optional<ModuleName>>(parsed);
    if (options.radio && !module) {
        return fail("--radio needs --module TYPE.SERIAL", exit_status::kUsage);
    }
    const auto since = parseDateTime("--since", options.since);
    if (const auto* error = std::get_if<ArgumentError>(&since)) {
        return fail(error->message, exit_status::kUsage);
    }
    const auto format = parseValueFormat(options.valuesFormat);
    if (const auto* error = std::get_if<ArgumentError>(&format)) {
        return fail(error->message, exit_status::kUsage);
    }
    if (const auto clash = outputClash(connectionOptions,
                                       {{"-o", options.output}, {"--values", options.values}})) {
        return fail(*clash, exit_status::kUsage);
    }
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
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    Session& session = *std::get<std::unique_ptr<Session>>(opened);
    app::ToolCore& core = session.core();
    ProgressView view;
    archive::ArchiveRetrieval retrieval(core.sender, core.clock, core.poller, core.archive, view);
    const archive::DateTimeValue start = std::get<archive::DateTimeValue>(since);
    const auto end = retrieval.BtInfoClick({.radio = options.radio,
                                            .serial = module ? std::to_string(module->serial) : "",
                                            .type = module ? std::to_string(module->type) : "",
                                            .selectedStart = start});
    view.finish();
    switch (end) {
        case archive::ArchiveRetrieval::End::PortLost:
            return session.portLost();
        case archive::ArchiveRetrieval::End::Interrupted:
            return exit_status::kInterrupted;
        case archive::ArchiveRetrieval::End::NoResponse:
            return fail("no answer from the module", exit_status::kNoAnswer);
        default:
            break;
    }
    if (!view.error.empty()) {
        return fail(view.error, exit_status::kRefused);
    }
    if (!view.exportable) {
        return fail(view.status == "Missing blocks" ? "blocks are missing; read again"
                                                    : "no record found in the archive",
                    exit_status::kRefused);
    }
    const archive::ExportSource source{core.archive.archiveWords, retrieval.writeWord,
                                       retrieval.firstRecord, start};
    std::ostringstream lines;
    const archive::ExportResult result = archive::writeCsv(source, lines);
    if (!result.completed) {
        return fail(result.error, exit_status::kRefused);
    }
    if (valueFile) {
        const receive::ModuleRef archiveModule{.kind = receive::ModuleRef::Kind::Archive,
                                               .type = retrieval.archiveType,
                                               .number = retrieval.archiveSerial};
        values::ValueWriter writer(std::get<values::ValueFormat>(format));
        std::string rows = writer.header();
        archive::archiveValues(source, archiveModule, [&](const receive::Measurement& value) {
            writer.append(value, rows);
        });
        valueFile->write(rows);
    }
    csv.write(lines.str());
    for (common::ReplacingFile* file : {&csv, valueFile ? &*valueFile : nullptr}) {
        if (file != nullptr && !file->commit()) {
            return fail(file->failure(), exit_status::kUsage);
        }
    }
    std::cerr << "qrt-cli: " << view.id << ": " << result.rows << " rows from " << view.firstRecord
              << " written to " << options.output << '\n';
    return exit_status::kDone;
}

int runWatch(const ConnectionOptions& connectionOptions, const WatchOptions& options) {
    auto connection = resolveConnection(connectionOptions);
    if (const auto* error = std::get_if<ArgumentError>(&connection)) {
        return fail(error->message, exit_status::kUsage);
    }
    const auto module = parseOptionalModule("--filter", options.filter);
    if (const auto* error = std::get_if<ArgumentError>(&module)) {
        return fail(error->message, exit_status::kUsage);
    }
    std::uint32_t filter = 0;
    if (const auto& name = std::get<std::optional<ModuleName>>(module)) {
        filter = commands::idFilterFor(true, false, std::to_string(name->serial),
                                       std::to_string(name->type));
    }
    const auto format = parseValueFormat(options.valuesFormat);
    if (const auto* error = std::get_if<ArgumentError>(&format)) {
        return fail(error->message, exit_status::kUsage);
    }
    if (const auto clash = outputClash(connectionOptions, {{"--values", options.values}})) {
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
    Session session(std::get<Connection>(connection));
    app::ToolCore& core = session.core();
    core.poller.idFilter = filter;
    tools::ToolOutput output(std::move(valueFile));
    core.output.setPanes(&output.sink());
    const int status = tools::watchPort(core, session.connection().portA, "qrt-cli", output);
    if (!output.finish() && status == exit_status::kDone) {
        return fail(output.failure(), exit_status::kUsage);
    }
    return status;
}

}  // namespace qrt::cli
