#pragma once

#include <chrono>

#include "sim/simulator.h"
#include "support/fake_serial_port.h"

namespace qrt::testing {

/// The simulator's devices behind two fake ports of a direct link: what the tool writes
/// reaches them at once, and what they send is queued as input of port A.
class SimulatedInstallation {
  public:
    SimulatedInstallation(FakeSerialPort& portA, FakeSerialPort& portB, sim::SimOptions options,
                          const std::vector<sim::ModuleConfig>& modules)
        : portA_(portA),
          simulator_(
              options, modules,
              [this](int channel, const sim::Bytes& bytes) {
                  if (channel == 0) {
                      portA_.queueInput(bytes);
                  }
              },
              [this](const std::string& line) { log.push_back(line); }) {
        const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
        portA.onWrite = [this, now](const sim::Bytes& bytes) {
            simulator_.receiveA(bytes, now);
            simulator_.quiet(now);
        };
        portB.onWrite = [this, now](const sim::Bytes& bytes) {
            simulator_.receiveB(bytes, now);
            simulator_.quiet(now);
        };
    }

    sim::Simulator& simulator() { return simulator_; }
    std::vector<std::string> log;

  private:
    FakeSerialPort& portA_;
    sim::Simulator simulator_;
};

}  // namespace qrt::testing
