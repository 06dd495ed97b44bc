#include "frames/authenticator.h"

#include "common/scan.h"

namespace qrt::frames {

TeaKey authKeyFromFields(const KeyFieldTexts& fields) {
    auto word = [&](std::size_t i) -> std::uint32_t {
        return common::scanHex(fields[i]).value_or(0) & 0xFFFFu;
    };
    TeaKey key{};
    for (std::size_t k = 0; k < key.size(); ++k) {
        key[k] = (word(2 * k + 1) << 16) | word(2 * k);
    }
    return key;
}

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
                       const std::optional<ContentBlock>& lastContent,
                       const KeyFieldTexts& keyFields) {
    if (!enabled || !takesAuthenticator(code)) {
        return false;
    }
    TeaKey& key = sender.protocol().authKey;
    key = authKeyFromFields(keyFields);
    sender.SendContentFrame(authenticatorBlock(sender.lastCommandFrame(), lastContent, key));
    return true;
}

}  // namespace qrt::frames
