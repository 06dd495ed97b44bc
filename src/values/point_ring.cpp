#include "values/point_ring.h"

#include <algorithm>
#include <limits>

namespace qrt::values {

std::size_t PointRing::Chunk::decode(std::size_t at, std::int64_t& tick, std::int32_t& raw) const {
    std::int64_t step = 0;
    for (int shift = 0;; shift += 7) {
        const std::uint8_t byte = bytes[at++];
        step |= static_cast<std::int64_t>(byte & 0x7Fu) << shift;
        if ((byte & 0x80u) == 0) {
            break;
        }
    }
    tick += step;
    raw = static_cast<std::int32_t>(offset + (bytes[at] | (bytes[at + 1] << 8)));
    return at + 2;
}

void PointRing::add(std::int64_t time, std::int32_t raw, double scale) {
    // Whole tenths of a second, rounded down also before 1970.
    const std::int64_t tick = time >= 0 ? time / kTick : -((-time + kTick - 1) / kTick);
    const auto fits = [&](const Chunk& chunk) {
        const std::int64_t bits = static_cast<std::int64_t>(raw) - chunk.offset;
        return chunk.bytes.size() + 5 <= kChunkBytes && chunk.scale == scale &&
               tick >= chunk.lastTick && tick - chunk.lastTick < kMaxStep && bits >= 0 &&
               bits <= std::numeric_limits<std::uint16_t>::max();
    };
    if (chunks_.empty() || !fits(chunks_.back())) {
        if (!chunks_.empty()) {
            chunks_.back().bytes.shrink_to_fit();
        }
        Chunk chunk;
        chunk.frontTick = chunk.lastTick = tick;
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
        chunk.bytes.reserve(kChunkBytes);
        chunks_.push_back(std::move(chunk));
    }
    Chunk& chunk = chunks_.back();
    for (auto step = static_cast<std::uint64_t>(tick - chunk.lastTick);; step >>= 7) {
        const auto low = static_cast<std::uint8_t>(step & 0x7Fu);
        chunk.bytes.push_back(step >= 0x80u ? low | 0x80u : low);
        if (step < 0x80u) {
            break;
        }
    }
    const auto bits = static_cast<std::uint16_t>(static_cast<std::int64_t>(raw) - chunk.offset);
    chunk.bytes.push_back(static_cast<std::uint8_t>(bits & 0xFFu));
    chunk.bytes.push_back(static_cast<std::uint8_t>(bits >> 8));
    chunk.lastTick = tick;
    ++chunk.count;
    ++added_;
    if (++size_ > kCapacity) {
        // The oldest point leaves: the chunk's front moves past it.
        Chunk& oldest = chunks_.front();
        std::int32_t dropped = 0;
        oldest.front = oldest.decode(oldest.front, oldest.frontTick, dropped);
        --oldest.count;
        if (oldest.front == oldest.bytes.size()) {
            chunks_.pop_front();
        }
        --size_;
    }
}

void PointRing::clear() {
    chunks_.clear();
    size_ = 0;
    added_ = 0;
}

std::size_t PointRing::memoryBytes() const {
    std::size_t bytes = 0;
    for (const Chunk& chunk : chunks_) {
        bytes += sizeof(Chunk) + chunk.bytes.capacity();
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
        std::int64_t firstTick = chunk.frontTick;
        std::int32_t raw = 0;
        chunk.decode(chunk.front, firstTick, raw);
        earliest = std::min(earliest, firstTick * kTick);
        latest = std::max(latest, chunk.lastTick * kTick);
    }
    return {earliest, latest};
}

void PointRing::plotPoints(std::int64_t from, std::int64_t to, std::size_t buckets,
                           std::vector<PlotPoint>& out) const {
    PlotReduction reduction;
    reduction.update(*this, from, to, buckets);
    reduction.points(out);
}

void PlotReduction::update(const PointRing& ring, std::int64_t from, std::int64_t to,
                           std::size_t buckets) {
    const bool sameView = from == from_ && to == to_ && buckets == buckets_;
    // A ring cleared meanwhile counts fewer points than seen: start afresh too.
    if (!sameView || ring.added() < seen_) {
        from_ = from;
        to_ = to;
        buckets_ = buckets;
        width_ = static_cast<double>(std::max<std::int64_t>(to - from, 1)) /
                 static_cast<double>(std::max<std::size_t>(buckets, 1));
        seen_ = 0;
        closed_.clear();
        column_ = -1;
    }
    const std::uint64_t fresh = ring.added() - seen_;
    seen_ = ring.added();
    if (to <= from || buckets == 0) {
        return;
    }
    ring.forEachNewest(static_cast<std::size_t>(std::min<std::uint64_t>(fresh, ring.size())),
                       [this](std::int64_t time, double value) { take(time, value); });
}

void PlotReduction::take(std::int64_t time, double value) {
    if (time < from_ || time > to_) {
        return;
    }
    const auto at = std::min(static_cast<std::int64_t>(buckets_) - 1,
                             static_cast<std::int64_t>(static_cast<double>(time - from_) / width_));
    const PlotPoint point{time, value};
    if (at != column_) {
        if (column_ >= 0) {
            append(closed_, low_, high_);
        }
        column_ = at;
        low_ = high_ = point;
    } else if (value < low_.value) {
        low_ = point;
    } else if (value > high_.value) {
        high_ = point;
    }
}

void PlotReduction::append(std::vector<PlotPoint>& out, const PlotPoint& low,
                           const PlotPoint& high) {
    const bool lowFirst = low.time <= high.time;
    out.push_back(lowFirst ? low : high);
    if (low.time != high.time || low.value != high.value) {
        out.push_back(lowFirst ? high : low);
    }
}

void PlotReduction::points(std::vector<PlotPoint>& out) const {
    out = closed_;
    if (column_ >= 0) {
        append(out, low_, high_);
    }
}

}  // namespace qrt::values
