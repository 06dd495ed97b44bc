#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace qrt::values {

/// A point of a plot: milliseconds since 1970 (UTC) and the value.
struct PlotPoint {
    std::int64_t time = 0;
    double value = 0;
};

/// The newest points of one series, packed: per point the time in tenths of a second
/// since the point before it (one byte up to 12.7 s, two up to 27 minutes, three up to
/// 58 hours) and the received integer less its chunk's offset in two bytes; a series
/// updated every poll takes three bytes a point. Values are the integers times a scale,
/// as the decoders give them. A point that does not fit the current chunk (a clock that
/// went back, a longer pause, an integer out of the chunk's range, another scale) starts
/// a new chunk, so any number and any clock jump are kept.
class PointRing {
  public:
    static constexpr std::size_t kCapacity = 100'000;

    void add(std::int64_t time, std::int32_t raw, double scale);
    void clear();
    [[nodiscard]] std::size_t size() const { return size_; }
    /// Points added since the ring was made or cleared (those dropped included).
    [[nodiscard]] std::uint64_t added() const { return added_; }
    /// Bytes held for the points (chunks included).
    [[nodiscard]] std::size_t memoryBytes() const;

    /// The points between `from` and `to` (milliseconds), reduced for a plot `buckets`
    /// columns wide: per column its lowest and highest point, in time order. A series
    /// with at most two points per column comes back whole.
    void plotPoints(std::int64_t from, std::int64_t to, std::size_t buckets,
                    std::vector<PlotPoint>& out) const;
    /// Earliest and latest time held; {0, 0} when empty.
    [[nodiscard]] std::pair<std::int64_t, std::int64_t> timeSpan() const;

    /// Calls `visit(time, value)` for every point, oldest first.
    template <typename Visit>
    void forEach(Visit visit) const {
        forEachNewest(size_, visit);
    }
    /// Calls `visit(time, value)` for the newest `count` points, oldest first.
    template <typename Visit>
    void forEachNewest(std::size_t count, Visit visit) const {
        // Whole chunks are skipped by their counts; within the first one the steps are
        // decoded up to where the points begin.
        std::size_t index = chunks_.size();
        std::size_t wanted = std::min(count, size_);
        std::size_t skip = 0;
        while (index > 0 && wanted > 0) {
            --index;
            const std::size_t held = chunks_[index].count;
            skip = wanted <= held ? held - wanted : 0;
            wanted -= std::min(wanted, held);
        }
        for (; index < chunks_.size(); ++index) {
            const Chunk& chunk = chunks_[index];
            std::int64_t tick = chunk.frontTick;
            for (std::size_t at = chunk.front; at < chunk.bytes.size();) {
                std::int32_t raw = 0;
                at = chunk.decode(at, tick, raw);
                if (skip > 0) {
                    --skip;
                    continue;
                }
                visit(tick * kTick, raw * chunk.scale);
            }
        }
    }

  private:
    static constexpr std::size_t kChunkBytes = 4096;
    static constexpr std::int64_t kTick = 100;         // milliseconds per time step
    static constexpr std::int64_t kMaxStep = 1 << 21;  // ticks a three-byte step holds

    struct Chunk {
        std::int64_t frontTick = 0;  // time of the point before `front` (its first: itself)
        std::int64_t lastTick = 0;   // time of the newest point
        std::int32_t offset = 0;
        double scale = 1.0;
        std::size_t front = 0;  // bytes before it belong to points that left the ring
        std::size_t count = 0;  // points held
        std::vector<std::uint8_t> bytes;

        /// Decodes the point at byte `at`: advances `tick`, sets `raw`; returns the next.
        std::size_t decode(std::size_t at, std::int64_t& tick, std::int32_t& raw) const;
    };

    std::deque<Chunk> chunks_;
    std::size_t size_ = 0;
    std::uint64_t added_ = 0;
};

/// A series reduced for a plot, kept from one redraw to the next: while the time range
/// and the width stay, only the points added since the last update are looked at.
class PlotReduction {
  public:
    /// Brings the reduction up to date with `ring` for [from, to] (milliseconds) in
    /// `buckets` columns; starts afresh when the range or the width changed.
    void update(const PointRing& ring, std::int64_t from, std::int64_t to, std::size_t buckets);
    /// Per column the lowest and the highest point, in time order.
    void points(std::vector<PlotPoint>& out) const;

  private:
    void take(std::int64_t time, double value);
    static void append(std::vector<PlotPoint>& out, const PlotPoint& low, const PlotPoint& high);

    std::int64_t from_ = 0;
    std::int64_t to_ = 0;
    std::size_t buckets_ = 0;
    double width_ = 1;
    std::uint64_t seen_ = 0;         // the ring's count of points added, at the last update
    std::vector<PlotPoint> closed_;  // the columns before the open one
    std::int64_t column_ = -1;       // the open column
    PlotPoint low_;
    PlotPoint high_;
};

}  // namespace qrt::values
