#include "firmware/firmware_status.h"

namespace qrt::firmware {

std::string refusalText(const ImageRefusal& refusal) {
    switch (refusal.reason) {
        case ImageRefusal::Reason::CannotOpen:
            return "Image refused: cannot open " + refusal.path;
        case ImageRefusal::Reason::TooManyBlocks:
            return "Image refused: " + std::to_string(refusal.blocks) +
                   " blocks, this module type takes at most " + std::to_string(refusal.maxBlocks);
        case ImageRefusal::Reason::WrongHeader:
            break;
    }
    return "Image refused: header tag '" + refusal.tag + "' is not " + refusal.familyTag +
           " + one byte + LF, the family this module type takes";
}

}  // namespace qrt::firmware
