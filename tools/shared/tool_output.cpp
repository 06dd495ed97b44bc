#include "shared/tool_output.h"

namespace qrt::tools {

ToolOutput::ToolOutput(std::optional<values::ValueFile> values) : values_(std::move(values)) {
    if (values_) {
        receive::OutputSink& lines =
            values_->isStandardOutput() ? static_cast<receive::OutputSink&>(noLines_) : console_;
        recorder_.emplace(lines, *values_);
    }
}

receive::OutputSink& ToolOutput::sink() {
    return recorder_ ? static_cast<receive::OutputSink&>(*recorder_) : console_;
}

bool ToolOutput::flush() {
    const bool lines = standardOutput_.flush();
    const bool values = !values_ || values_->output().flush();
    return lines && values;
}

bool ToolOutput::finish() {
    const bool lines = standardOutput_.close();
    const bool values = !values_ || values_->output().close();
    return lines && values;
}

std::string ToolOutput::failure() const {
    if (values_ && values_->failed()) {
        return values_->failure();
    }
    return standardOutput_.failure();
}

}  // namespace qrt::tools
