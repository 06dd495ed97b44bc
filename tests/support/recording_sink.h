#pragma once

#include <string>
#include <vector>

#include "receive/output_sink.h"

namespace qrt::testing {

/// Records every line and status change in order; "D "/"C " prefixes tell the panes apart.
class RecordingSink final : public receive::OutputSink {
  public:
    void addDebugLine(std::string_view line) override { lines.push_back("D " + std::string(line)); }
    void addCommLine(std::string_view line) override { lines.push_back("C " + std::string(line)); }
    void showKeyState(bool pressed) override { keyStates.push_back(pressed); }
    void showBoxVersion(std::string_view text) override { versions.emplace_back(text); }
    void showBackgroundLevel(std::string_view text) override { backgrounds.emplace_back(text); }

    std::vector<std::string> lines;
    std::vector<bool> keyStates;
    std::vector<std::string> versions;
    std::vector<std::string> backgrounds;
};

}  // namespace qrt::testing
