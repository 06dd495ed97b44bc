#include "firmware/firmware_family.h"

namespace qrt::firmware {

namespace {

constexpr FirmwareFamily kType8{.tag = "RQW1",
                                .maxBlocks = 1024,
                                .startFlag = 0xFF,
                                .headerFlag = 0x00,
                                .statusFlag = 0xFF,
                                .rebootFlag = 0x81,
                                .countLessOne = true,
                                .resendBytePar = 9};
constexpr FirmwareFamily kType7{.tag = "HVN ",
                                .maxBlocks = 432,
                                .startFlag = 0x82,
                                .headerFlag = 0x82,
                                .statusFlag = 0x82,
                                .rebootFlag = 0x82,
                                .countLessOne = false,
                                .resendBytePar = 1};
constexpr FirmwareFamily kOther{.tag = "DKM2",
                                .maxBlocks = 256,
                                .startFlag = 0x81,
                                .headerFlag = 0x81,
                                .statusFlag = 0x81,
                                .rebootFlag = 0x81,
                                .countLessOne = false,
                                .resendBytePar = 1};

}  // namespace

const FirmwareFamily& familyFor(std::int32_t targetType) {
    switch (targetType) {
        case 8:
            return kType8;
        case 7:
            return kType7;
        default:
            return kOther;
    }
}

}  // namespace qrt::firmware
