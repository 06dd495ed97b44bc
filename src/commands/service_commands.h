#pragma once

#include <cstdint>
#include <string>

#include "common/clock.h"
#include "frames/frame_sender.h"

namespace qrt::commands {

/// The direct commands of the main window: to the module on the inductive head (as
/// text lines or, with the binary protocol, inductive frames), to the interface box
/// (one byte on its channel), and the receiver's radio settings. All fire and forget.
class ServiceCommands {
  public:
    /// The number sent with the text form of NVP.
    static constexpr int kNvpTextNumber = 0;

    ServiceCommands(frames::FrameSender& sender, common::Clock& clock)
        : sender_(sender), clock_(clock) {}

    void version();        // "\rVER\r" or VER frame
    void parameterPage();  // "\rNVP0\r" or NVR frame with BytePar 255
    /// Writes a parameter: as text the value in full, as a frame its low 16 bits.
    void writeParameter(std::uint8_t number, std::int32_t value);
    void start();
    void stop();
    void logOn();   // binary protocol only
    void logOff();  // binary protocol only
    /// Reads the module clock: NVR 65, 400 ms pause, NVR 66 (binary protocol only).
    void getClock();
    /// Sets the module clock to UTC now as BCD pairs: NVW 66 minutes:seconds, 68
    /// day:hours, 71 year:month, 200 ms apart (binary protocol only).
    void setClock();
    /// A measurement request to the module on the head (binary protocol only).
    void measure(std::uint16_t wordPar, std::uint8_t bytePar);

    /// A one-byte command to the interface box (nothing on a direct link).
    void boxCommand(std::uint8_t byte);
    /// Beep of the given length (0 to 7), then a 10 ms pause.
    void beep(int length);
    /// The receiver's radio channel and transmit power texts with their pauses.
    void radioSettings(int channel, int power);

  private:
    void sendText(const std::string& text);
    void sendFrame(std::uint8_t code, std::uint16_t wordPar, std::uint8_t bytePar);
    void sendEither(const std::string& text, std::uint8_t code, std::uint16_t wordPar,
                    std::uint8_t bytePar);

    frames::FrameSender& sender_;
    common::Clock& clock_;
};

}  // namespace qrt::commands
