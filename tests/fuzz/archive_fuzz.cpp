// Fuzzes the archive record search and the CSV export over any store contents, write
// position, first record and selected start.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <vector>

#include "archive/csv_export.h"
#include "archive/record_search.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) {
        return 0;
    }
    using namespace qrt::archive;
    const std::uint32_t writeWord = static_cast<std::uint32_t>(data[0] | (data[1] << 8));
    const std::uint32_t searchStart = static_cast<std::uint32_t>(data[2] | (data[3] << 8));
    const double start = 40000.0 + static_cast<double>(data[4] | (data[5] << 8)) / 8.0;
    const std::uint32_t placedAt = static_cast<std::uint32_t>(data[6] | (data[7] << 8));
    // The rest fills the store from a chosen word on, round the ring; 0xFFFF elsewhere.
    std::vector<std::uint16_t> words(65536, 0xFFFF);
    for (std::size_t i = 8; i + 1 < size; i += 2) {
        words[(placedAt + (i - 8) / 2) % 65536] =
            static_cast<std::uint16_t>(data[i] | (data[i + 1] << 8));
    }
    const RecordSearchResult found = findRecord(words, searchStart, writeWord);
    std::ostringstream out;
    const std::int32_t first = found.outcome == RecordSearchResult::Outcome::Found
                                   ? found.index
                                   : static_cast<std::int32_t>(searchStart % kRingWords);
    writeCsv({words, writeWord, first, start}, out);
    return 0;
}
