#include "shared/tool_output.h"

namespace qrt::tools {

ToolOutput::ToolOutput(values::ValueFile* values) {
    if (values != nullptr) {
        receive::OutputSink& lines =
            values->isStandardOutput() ? static_cast<receive::OutputSink&>(noLines_) : console_;
        recorder_.emplace(lines, values->writer());
    }
}

receive::OutputSink& ToolOutput::sink() {
    return recorder_ ? static_cast<receive::OutputSink&>(*recorder_) : console_;
}

}  // namespace qrt::tools
