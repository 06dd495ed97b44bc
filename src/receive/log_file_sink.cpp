#include "receive/log_file_sink.h"

namespace qrt::receive {

namespace {

constexpr std::uint8_t kLogFlushInterval = 20;  // flush when the count taken exceeds it

}  // namespace

void LogFileSink::pollStarted() {
    if (logFile_.isOpen() && logFlushCounter_++ > kLogFlushInterval) {
        logFile_.flush();
        logFlushCounter_ = 0;
    }
    if (lines_ != nullptr) {
        lines_->pollStarted();
    }
}

void LogFileSink::pollFinished() {
    if (lines_ != nullptr) {
        lines_->pollFinished();
    }
}

std::string& LogFileSink::beginLine(Pane pane) {
    pane_ = pane;
    if (lines_ == nullptr) {
        scratch_.clear();
        line_ = &scratch_;
    } else {
        line_ = &lines_->beginLine(pane);
    }
    lineStart_ = line_->size();
    return *line_;
}

void LogFileSink::endLine() {
    if (pane_ == Pane::Debug) {
        logFile_.writeLine(std::string_view(*line_).substr(lineStart_));
    }
    if (lines_ != nullptr) {
        lines_->endLine();
    }
}

}  // namespace qrt::receive
