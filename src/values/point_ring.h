#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace qrt::values {

/// A point of a plot: milliseconds of local time since 1970 and the value.
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
        for (const Chunk& chunk : chunks_) {
            std::int64_t tick = chunk.frontTick;
            for (std::size_t at = chunk.front; at < chunk.bytes.size();) {
                std::int32_t raw = 0;
                at = chunk.decode(at, tick, raw);
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
        std::vector<std::uint8_t> bytes;

        /// Decodes the point at byte `at`: advances `tick`, sets `raw`; returns the next.
        std::size_t decode(std::size_t at, std::int64_t& tick, std::int32_t& raw) const;
    };

    std::deque<Chunk> chunks_;
    std::size_t size_ = 0;
};

}  // namespace qrt::values
