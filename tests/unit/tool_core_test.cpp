#include "core/tool_core.h"

#include <gtest/gtest.h>

#include <sstream>

#include "frames/command_frames.h"
#include "support/fake_clock.h"
#include "support/fake_serial_port.h"
#include "support/recording_sink.h"

namespace qrt {
namespace {

using testing::FakeSerialPort;
using testing::RecordingSink;

// Counts what a face's hooks and value sink were given.
struct Face {
    RecordingSink lines;
    struct Values final : receive::MeasurementSink {
        void addMeasurements(std::span<const receive::Measurement> given) override {
            count += given.size();
        }
        std::size_t count = 0;
    } values;
    int paced = 0;
    int accepted = 0;

    receive::Outputs outputs() {
        return {.lines = &lines,
                .measurements = &values,
                .firmwarePacing = [this] { ++paced; },
                .frameAccepted = [this](const frames::StandardFrame&) { ++accepted; }};
    }
};

class ToolCoreAttach : public ::testing::Test {
  protected:
    ToolCoreAttach() {
        auto a = std::make_unique<FakeSerialPort>();
        portA = a.get();
        core = std::make_unique<core::ToolCore>(std::move(a), std::make_unique<FakeSerialPort>(),
                                                diagnostics, clock);
        EXPECT_TRUE(core->link.OpenPort(link::Port::A, "a", 19200, 0));
    }
    // One module's temperature telegram (one debug line, one value), then a poll.
    void receiveTelegram() {
        const auto f = frames::buildStandardFrame(0x20, 0x60000010, 0x0866, 0x12, 3, 0);
        portA->queueInput({f.begin(), f.end()});
        core->poller.poll();
    }

    std::ostringstream diagnostics;
    testing::FakeClock clock;
    FakeSerialPort* portA = nullptr;
    std::unique_ptr<core::ToolCore> core;
};

TEST_F(ToolCoreAttach, AnEndedAttachmentRestoresWhatWasAttachedBeforeAndLeavesNoHook) {
    Face program;
    Face task;
    {
        const common::Attachment outer = core->attach(program.outputs());
        {
            const common::Attachment inner = core->attach(task.outputs());
            receiveTelegram();
        }
        receiveTelegram();
    }
    receiveTelegram();  // nothing attached: the hooks are gone, not dangling

    for (const Face* face : {&task, &program}) {
        EXPECT_EQ(face->lines.lines.size(), 1u);
        EXPECT_EQ(face->paced, 1);
        EXPECT_EQ(face->accepted, 1);
        EXPECT_EQ(face->values.count, 1u);
    }
    EXPECT_EQ(core->values.at(0).count, 2u);  // the history heard the values while attached
}

TEST_F(ToolCoreAttach, AnAttachmentEndedBeforeALaterOneLeavesTheLaterOneInPlace) {
    Face program;
    Face task;
    {
        common::Attachment first = core->attach(program.outputs());
        const common::Attachment second = core->attach(task.outputs());
        first.detach();
        receiveTelegram();  // the later attachment keeps its outputs
    }
    receiveTelegram();  // and the first's do not come back when it ends
    EXPECT_EQ(task.lines.lines.size(), 1u);
    EXPECT_EQ(task.paced, 1);
    EXPECT_EQ(program.lines.lines.size(), 0u);
    EXPECT_EQ(program.paced, 0);
}

TEST_F(ToolCoreAttach, FieldsLeftEmptyKeepWhatIsAttached) {
    Face program;
    const common::Attachment outer = core->attach(program.outputs());
    int status = 0;
    {
        const common::Attachment hook =
            core->attach({.firmwareStatus = [&status](const frames::StandardFrame&) { ++status; }});
        receiveTelegram();
    }
    EXPECT_EQ(status, 0);
    EXPECT_EQ(program.lines.lines.size(), 1u);
    EXPECT_EQ(program.paced, 1);
}

}  // namespace
}  // namespace qrt
