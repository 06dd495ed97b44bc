#pragma once

#include <cstdint>
#include <string>

namespace qrt::firmware {

/// What a module reports of the firmware image it received: the signed WordPar of its
/// status reply (type 20), decoded here once for every face.
struct FirmwareStatus {
    enum class Kind { Complete, Faulty, MissingBlock };
    Kind kind = Kind::Complete;
    std::int16_t block = 0;  // with MissingBlock: the number the module names

    /// -1: the image is complete, -2: it is faulty, any other number: a block it misses.
    [[nodiscard]] static constexpr FirmwareStatus of(std::int16_t wordPar) {
        if (wordPar == -1) {
            return {Kind::Complete};
        }
        return wordPar == -2 ? FirmwareStatus{Kind::Faulty}
                             : FirmwareStatus{Kind::MissingBlock, wordPar};
    }
    bool operator==(const FirmwareStatus&) const = default;
};

/// Why an image was not started.
struct ImageRefusal {
    enum class Reason { CannotOpen, TooManyBlocks, WrongHeader };
    Reason reason = Reason::CannotOpen;
    std::string path{};
    std::uint64_t blocks = 0;     // TooManyBlocks: the image's blocks
    std::uint32_t maxBlocks = 0;  // ... and the most the module type takes
    std::string tag{};            // WrongHeader: the image's first bytes, printable
    std::string familyTag{};      // ... and the tag the module type takes
};

/// The refusal in words for the operator: "Image refused: ...".
[[nodiscard]] std::string refusalText(const ImageRefusal& refusal);

}  // namespace qrt::firmware
