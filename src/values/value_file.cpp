#include "values/value_file.h"

namespace qrt::values {

ValueFile::ValueFile(common::OutputFile output, ValueFormat format)
    : output_(std::move(output)), writer_(format) {
    output_.write(writer_.header());
}

ValueFile ValueFile::open(const std::string& path, ValueFormat format) {
    return {path == "-" ? common::OutputFile::standardOutput() : common::OutputFile::create(path),
            format};
}

}  // namespace qrt::values
