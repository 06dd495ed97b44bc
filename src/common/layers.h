#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "common/attachment.h"

namespace qrt::common {

/// Outputs that faces attach on top of one another. Each layer lasts as long as its
/// attachment, and attachments may end in any order: the owner is told the layers that
/// remain (oldest first) at every change, and lays them over one another itself.
template <typename Layer>
class Layers {
  public:
    using Changed = std::function<void(std::span<const Layer>)>;

    explicit Layers(Changed changed) : changed_(std::move(changed)) {}
    Layers(const Layers&) = delete;
    Layers& operator=(const Layers&) = delete;

    /// Adds `layer` on top until the attachment ends.
    [[nodiscard]] Attachment add(Layer layer) {
        const std::uint64_t id = ++added_;
        ids_.push_back(id);
        layers_.push_back(std::move(layer));
        changed_(layers_);
        return Attachment([this, id] {
            const auto at = std::find(ids_.begin(), ids_.end(), id) - ids_.begin();
            ids_.erase(ids_.begin() + at);
            layers_.erase(layers_.begin() + at);
            changed_(layers_);
        });
    }

  private:
    Changed changed_;
    std::vector<std::uint64_t> ids_;  // each layer's attachment, parallel to layers_
    std::vector<Layer> layers_;
    std::uint64_t added_ = 0;
};

}  // namespace qrt::common
