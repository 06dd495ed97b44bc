#include "values/value_file.h"

#include <cerrno>
#include <cstring>

namespace qrt::values {

ValueFile::ValueFile(const std::string& path, ValueFormat format)
    : name_(path == "-" ? "standard output" : path),
      out_(path == "-" ? stdout : std::fopen(path.c_str(), "wb")) {
    if (out_ == nullptr) {
        failure_ = "cannot write " + name_ + ": " + std::strerror(errno);
        return;
    }
    writer_ = std::make_unique<ValueWriter>(out_, format);
}

ValueFile::~ValueFile() {
    finish();
}

bool ValueFile::finish() {
    if (out_ == nullptr) {
        return failure_.empty();
    }
    errno = 0;
    const bool failed = std::fflush(out_) != 0 || std::ferror(out_) != 0;
    const int error = errno;
    if (out_ != stdout) {
        std::fclose(out_);
    }
    out_ = nullptr;
    if (failed) {
        failure_ = "cannot write " + name_ + ": " + std::strerror(error != 0 ? error : EIO);
    }
    return !failed;
}

}  // namespace qrt::values
