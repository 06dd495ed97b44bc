#include "values/point_ring.h"

#include <algorithm>
#include <array>
#include <limits>

namespace qrt::values {

void PointRing::add(std::int64_t time, std::int32_t raw, double scale) {
    const auto fits = [&](const Chunk& chunk) {
        const std::int64_t tick = (time - chunk.start) / kTick;
        const std::int64_t bits = static_cast<std::int64_t>(raw) - chunk.offset;
        return chunk.points.size() < kChunkPoints && chunk.scale == scale && time >= chunk.start &&
               tick <= std::numeric_limits<std::uint16_t>::max() && bits >= 0 &&
               bits <= std::numeric_limits<std::uint16_t>::max();
    };
    if (chunks_.empty() || !fits(chunks_.back())) {
        if (!chunks_.empty()) {
            chunks_.back().points.shrink_to_fit();
        }
        Chunk chunk;
        chunk.start = time;
        // A signed word's chunk covers -32768 to 32767, an unsigned one's 0 to 65535;
        // a number outside both gets a chunk around itself.
        if (raw < -32768) {
            chunk.offset = raw;
        } else if (raw < 0) {
            chunk.offset = -32768;
        } else if (raw > std::numeric_limits<std::uint16_t>::max()) {
            chunk.offset = raw - 32768;
        }
        chunk.scale = scale;
        chunk.points.reserve(kChunkPoints);
        chunks_.push_back(std::move(chunk));
    }
    Chunk& chunk = chunks_.back();
    chunk.points.push_back(
        {static_cast<std::uint16_t>((time - chunk.start) / kTick),
         static_cast<std::uint16_t>(static_cast<std::int64_t>(raw) - chunk.offset)});
    if (++size_ > kCapacity) {
        Chunk& oldest = chunks_.front();
        if (++oldest.first == oldest.points.size()) {
            chunks_.pop_front();
        }
        --size_;
    }
}

void PointRing::clear() {
    chunks_.clear();
    size_ = 0;
}

std::size_t PointRing::memoryBytes() const {
    std::size_t bytes = 0;
    for (const Chunk& chunk : chunks_) {
        bytes += sizeof(Chunk) + chunk.points.capacity() * sizeof(Packed);
    }
    return bytes;
}

std::pair<std::int64_t, std::int64_t> PointRing::timeSpan() const {
    if (size_ == 0) {
        return {0, 0};
    }
    std::int64_t earliest = std::numeric_limits<std::int64_t>::max();
    std::int64_t latest = std::numeric_limits<std::int64_t>::min();
    for (const Chunk& chunk : chunks_) {
        // Within a chunk time never goes back; a clock that jumped back starts a chunk.
        earliest = std::min(earliest, chunk.timeOf(chunk.points[chunk.first]));
        latest = std::max(latest, chunk.timeOf(chunk.points.back()));
    }
    return {earliest, latest};
}

void PointRing::plotPoints(std::int64_t from, std::int64_t to, std::size_t buckets,
                           std::vector<PlotPoint>& out) const {
    out.clear();
    if (to <= from || buckets == 0) {
        return;
    }
    const double width = static_cast<double>(to - from) / static_cast<double>(buckets);
    // The column being gathered: its first, lowest, highest and last point.
    std::int64_t column = -1;
    PlotPoint first, low, high, last;
    const auto flush = [&] {
        if (column < 0) {
            return;
        }
        std::array<PlotPoint, 4> kept{first, low, high, last};
        std::stable_sort(kept.begin() + 1, kept.begin() + 3,
                         [](const PlotPoint& a, const PlotPoint& b) { return a.time < b.time; });
        for (std::size_t i = 0; i < kept.size(); ++i) {
            if (out.empty() || out.back().time != kept[i].time ||
                out.back().value != kept[i].value) {
                out.push_back(kept[i]);
            }
        }
    };
    forEach([&](std::int64_t time, double value) {
        if (time < from || time > to) {
            return;
        }
        const auto at = static_cast<std::int64_t>(static_cast<double>(time - from) / width);
        const PlotPoint point{time, value};
        if (at != column) {
            flush();
            column = at;
            first = low = high = last = point;
            return;
        }
        if (value < low.value) {
            low = point;
        }
        if (value > high.value) {
            high = point;
        }
        last = point;
    });
    flush();
}

}  // namespace qrt::values
