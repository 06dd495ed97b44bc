#include "frames/authenticator.h"

namespace qrt::frames {

TeaBlock authenticatorBlock(const StandardFrame& commandFrame,
                            const std::optional<ContentBlock>& lastContent, const TeaKey& key) {
    TeaBlock input{};
    for (std::size_t i = 0; i < input.size(); ++i) {
        input[i] = commandFrame[1 + i];
        if (lastContent) {
            input[i] ^= (*lastContent)[i];
        }
    }
    return TeaEncipher(key, input);
}

bool SendAuthenticator(FrameSender& sender, bool enabled, std::uint8_t code,
                       const std::optional<ContentBlock>& lastContent) {
    if (!enabled || !takesAuthenticator(code)) {
        return false;
    }
    sender.SendContentFrame(
        authenticatorBlock(sender.lastCommandFrame(), lastContent, sender.protocol().authKey));
    return true;
}

}  // namespace qrt::frames
