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

/// The newest points of one series, packed in four bytes each: the time in tenths of a
/// second after its chunk's start and the received integer less the chunk's offset.
/// Values are the integers times a scale, as the decoders give them. A point that does
/// not fit the current chunk (time before its start or more than 109 minutes after
/// it, an integer out of its range, another scale) starts a new chunk, so any number
/// and any clock jump are kept.
class PointRing {
  public:
    static constexpr std::size_t kCapacity = 100'000;

    void add(std::int64_t time, std::int32_t raw, double scale);
    void clear();
    [[nodiscard]] std::size_t size() const { return size_; }
    /// Bytes held for the points (chunks included).
    [[nodiscard]] std::size_t memoryBytes() const;

    /// The points between `from` and `to` (milliseconds), reduced for a plot `buckets`
    /// columns wide: per column its first, lowest, highest and last point, in time
    /// order. A series with fewer points than four per column comes back whole.
    void plotPoints(std::int64_t from, std::int64_t to, std::size_t buckets,
                    std::vector<PlotPoint>& out) const;
    /// Earliest and latest time held; {0, 0} when empty.
    [[nodiscard]] std::pair<std::int64_t, std::int64_t> timeSpan() const;

    template <typename Visit>
    void forEach(Visit visit) const {
        for (const Chunk& chunk : chunks_) {
            for (std::size_t i = chunk.first; i < chunk.points.size(); ++i) {
                visit(chunk.timeOf(chunk.points[i]), chunk.valueOf(chunk.points[i]));
            }
        }
    }

  private:
    static constexpr std::size_t kChunkPoints = 1024;
    static constexpr std::int64_t kTick = 100;  // milliseconds per time step

    struct Packed {
        std::uint16_t tick;
        std::uint16_t bits;
    };
    struct Chunk {
        std::int64_t start = 0;
        std::int32_t offset = 0;
        double scale = 1.0;
        std::size_t first = 0;  // points before it have left the ring
        std::vector<Packed> points;

        [[nodiscard]] std::int64_t timeOf(Packed p) const { return start + p.tick * kTick; }
        [[nodiscard]] double valueOf(Packed p) const { return (offset + p.bits) * scale; }
    };

    std::deque<Chunk> chunks_;
    std::size_t size_ = 0;
};

}  // namespace qrt::values
