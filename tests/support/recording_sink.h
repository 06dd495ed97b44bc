#pragma once

#include <string>
#include <vector>

#include "common/text_format.h"
#include "receive/sinks.h"

namespace qrt::testing {

/// Records every line and status change in order; "D "/"C " prefixes tell the panes apart,
/// and the box status is kept as the window shows it.
class RecordingSink final : public receive::LineSink, public receive::BoxStatusSink {
  public:
    std::string& beginLine(receive::Pane pane) override {
        lines.emplace_back(pane == receive::Pane::Debug ? "D " : "C ");
        return lines.back();
    }
    void endLine() override {}
    void showKeyState(bool pressed) override { keyStates.push_back(pressed); }
    void showBoxVersion(std::uint32_t version) override {
        versions.push_back(common::format<"%04X">(version));
    }
    void showBackgroundLevel(std::int32_t level) override {
        backgrounds.push_back(common::format<"%i">(level));
    }

    std::vector<std::string> lines;
    std::vector<bool> keyStates;
    std::vector<std::string> versions;
    std::vector<std::string> backgrounds;
};

}  // namespace qrt::testing
