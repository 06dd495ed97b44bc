#include "firmware/firmware_family.h"

namespace qrt::firmware {

namespace {

constexpr FirmwareFamily kType8{"RQW1", 1024, 0xFF, 0x00, 0xFF, 0x81, true, 9};
constexpr FirmwareFamily kType7{"HVN ", 432, 0x82, 0x82, 0x82, 0x82, false, 1};
constexpr FirmwareFamily kOther{"DKM2", 256, 0x81, 0x81, 0x81, 0x81, false, 1};

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
