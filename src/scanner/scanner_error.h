#pragma once
#include <stdexcept>
#include <string>

namespace vistrel {

// Misuse of the scanner access itself (a second scanner object, no device chosen).
class EScannerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failure the device or its driver reported. `Status` is the driver's SANE status code (0 when the
// failure is our own, such as a picture format we cannot take), so the scan job can tell a jammed
// feeder from an open cover without parsing the text.
class ETwainError : public EScannerError {
public:
    explicit ETwainError(const std::string& what, int status = 0) : EScannerError(what), status_(status) {}
    int Status() const { return status_; }

private:
    int status_;
};

} // namespace vistrel
