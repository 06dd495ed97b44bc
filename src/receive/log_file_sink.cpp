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
    if (panes_ != nullptr) {
        panes_->pollStarted();
    }
}

void LogFileSink::addDebugLine(std::string_view line) {
    if (panes_ != nullptr) {
        panes_->addDebugLine(line);
    }
    logFile_.writeLine(line);
}

void LogFileSink::addCommLine(std::string_view line) {
    if (panes_ != nullptr) {
        panes_->addCommLine(line);
    }
}

void LogFileSink::pollFinished() {
    if (panes_ != nullptr) {
        panes_->pollFinished();
    }
}

bool LogFileSink::wantsMeasurements() const {
    return panes_ != nullptr && panes_->wantsMeasurements();
}

void LogFileSink::addMeasurements(std::span<const Measurement> measurements) {
    if (panes_ != nullptr) {
        panes_->addMeasurements(measurements);
    }
}

void LogFileSink::showKeyState(bool pressed) {
    if (panes_ != nullptr) {
        panes_->showKeyState(pressed);
    }
}

void LogFileSink::showBoxVersion(std::string_view text) {
    if (panes_ != nullptr) {
        panes_->showBoxVersion(text);
    }
}

void LogFileSink::showBackgroundLevel(std::string_view text) {
    if (panes_ != nullptr) {
        panes_->showBackgroundLevel(text);
    }
}

}  // namespace qrt::receive
