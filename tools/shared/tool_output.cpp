#include "shared/tool_output.h"

namespace qrt::tools {

ToolOutput::ToolOutput(std::optional<values::ValueFile> values) : values_(std::move(values)) {}

receive::LineSink& ToolOutput::lines() {
    if (values_ && values_->isStandardOutput()) {
        return noLines_;
    }
    return console_;
}

receive::MeasurementSink* ToolOutput::measurements() {
    return values_ ? &*values_ : nullptr;
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
