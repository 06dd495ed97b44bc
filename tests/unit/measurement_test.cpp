// Every value the decoders record carries the number its text line shows.
#include <gtest/gtest.h>

#include "frames/command_frames.h"
#include "frames/device_frames.h"
#include "receive/console_sink.h"
#include "receive/reply_decoder.h"
#include "receive/telegram_decoder.h"
#include "values/value_writer.h"

using namespace qrt;
using namespace qrt::receive;

namespace {

frames::StandardFrame frame(std::uint8_t header, std::uint32_t id, std::uint16_t wp,
                            std::uint8_t bp) {
    return frames::buildStandardFrame(header, id, wp, bp, 7, 0);
}

// "module channel=value unit" for each value, as the values file would show them.
std::vector<std::string> recorded(const DecodeState& state) {
    std::vector<std::string> out;
    for (const Measurement& m : state.measurements.view()) {
        std::string line = m.source.text() + " " + m.channelText() + "=";
        values::appendValueText(line, m.raw, m.scale);
        out.push_back(line + " " + std::string(unitText(m.unit)));
    }
    return out;
}

struct Case {
    const char* what;
    std::function<void(DecodeState&, LineSink&)> decode;
    const char* line;  // the debug line (or, for samples, the communication line)
    std::vector<std::string> values;
};

}  // namespace

TEST(Measurements, CarryTheNumbersTheLinesShow) {
    const std::vector<Case> cases{
        {"short telegram",
         [](DecodeState& s, LineSink& l) {
             decodeShortTelegram(frames::buildShortTelegram(5, -1234, 150, 1, 0), -7, s, l);
         },
         "T  ID:5 T:-12.34 B:3.00 1 -7",
         {"5 Temp=-12.34 \u00B0C", "5 Bat=3.00 V", "5 Status=1 raw", "5 Signal=-7 raw"}},
        {"other module type",
         [](DecodeState& s, LineSink& l) {
             decodeSpontaneousTelegram(frame(0x40, 0x30000007, 0xFF85, 150), s, 12, l);
         },
         "T  R:2 ID:3.7 T:-1.23 B:3.00 7 12",
         {"3.7 Temp=-1.23 \u00B0C", "3.7 Bat=3.00 V", "3.7 Signal=12 raw"}},
        {"battery and digital",
         [](DecodeState& s, LineSink& l) {
             decodeSpontaneousTelegram(frame(0x40, 0x60000010, 0x0396, 0x10), s, 0, l);
         },
         "T  R:2 ID:6.16 Bat_Dig B:3.00 D:3 7 0",
         {"6.16 Bat=3.00 V", "6.16 Bat_Dig=3 raw", "6.16 Signal=0 raw"}},
        {"config word",
         [](DecodeState& s, LineSink& l) {
             decodeSpontaneousTelegram(frame(0x40, 0x60000010, 0xBEEF, 0x01), s, 0, l);
         },
         "T  R:2 ID:6.16 Config  T:0xbeef 7 0",
         {"6.16 Config=48879 raw", "6.16 Signal=0 raw"}},
        {"temperature kind",
         [](DecodeState& s, LineSink& l) {
             decodeSpontaneousTelegram(frame(0x40, 0x50000001, 0xF79A, 0x13), s, 0, l);
         },
         "T  R:2 ID:5.1 Temp2   T:-21.50 7 0",
         {"5.1 Temp2=-21.50 \u00B0C", "5.1 Signal=0 raw"}},
        {"counter at its top",
         [](DecodeState& s, LineSink& l) {
             decodeSpontaneousTelegram(frame(0x40, 0x60000010, 65535, 0x05), s, 0, l);
         },
         "T  R:2 ID:6.16 Count2  C:65535 7 0",
         {"6.16 Count2=65535 counts", "6.16 Signal=0 raw"}},
        {"aux value",
         [](DecodeState& s, LineSink& l) {
             decodeSpontaneousTelegram(frame(0x40, 0x60000010, 42, 0x0A), s, 0, l);
         },
         "T  R:2 ID:6.16 Aux5    X:42 7 0",
         {"6.16 Aux5=42 raw", "6.16 Signal=0 raw"}},
        {"kind without a channel",
         [](DecodeState& s, LineSink& l) {
             decodeSpontaneousTelegram(frame(0x40, 0x60000010, 42, 0x1B), s, 0, l);
         },
         "T  R:2 ID:6.16 B:27 W:42 7 0",
         {"6.16 Signal=0 raw"}},
        {"extension of the last module",
         [](DecodeState& s, LineSink& l) {
             decodeSpontaneousTelegram(frame(0x40, 0x60000010, 0x0196, 0x10), s, 0, l);
             s.measurements.clear();
             frames::StandardFrame extension = frame(0x05, 0x00000042, 0x0014, 0x99);
             extension[3] = 0x66;
             extension[4] = 0x08;
             decodeType5Frame(extension, s, l);
         },
         "    Temp1   T:21.50 Count1  C:20 ",
         {"6.16 Temp1=21.50 \u00B0C", "6.16 Count1=20 counts"}},
    };
    for (const Case& c : cases) {
        DecodeState state;
        state.timestamp = "T";
        state.recordValues = true;
        state.levelsMeasured = true;
        LastLines lines;
        c.decode(state, lines);
        EXPECT_EQ(lines.debug, c.line) << c.what;
        EXPECT_EQ(recorded(state), c.values) << c.what;
    }
}

TEST(Measurements, SamplesCarryTheirNumberAndBelongToTheModuleThatAnnouncedThem) {
    DecodeState state;
    state.recordValues = true;
    LastLines lines;
    decodeReply(frame(0x08, 0x50000001, 100, 4), state, lines);
    decodeType5Frame(frames::buildStandardFrame(0x05, 0xFFFB0005, 0x8000, 0xFF, 0xFF, 0), state,
                     lines);
    EXPECT_EQ(lines.comm, ">>  100:5  101:-5  102:-32768  103:-1 ");
    EXPECT_EQ(recorded(state),
              (std::vector<std::string>{"5.1 Sample 100=5 raw", "5.1 Sample 101=-5 raw",
                                        "5.1 Sample 102=-32768 raw", "5.1 Sample 103=-1 raw"}));
}

TEST(Measurements, AreOnlyKeptWhenWantedAndLevelsOnlyWhenMeasured) {
    DecodeState state;
    const auto telegram = frames::buildShortTelegram(5, 0x0866, 0x96, 1, 0);
    NoLines lines;
    decodeShortTelegram(telegram, 0, state, lines);
    EXPECT_TRUE(state.measurements.empty());
    state.recordValues = true;  // a direct link: the signal level is shown, not measured
    decodeShortTelegram(telegram, 0, state, lines);
    EXPECT_EQ(recorded(state),
              (std::vector<std::string>{"5 Temp=21.50 \u00B0C", "5 Bat=3.00 V", "5 Status=1 raw"}));
}
