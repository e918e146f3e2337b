#pragma once
#include <stdexcept>
#include <string>

namespace vistrel {

// Misuse of a picture and every reader's "this file is not what it claims" failure.
class EImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Failures reported by libjpeg, or our own JPEG checks; what() is libjpeg's message when it comes from there.
class EJpegError : public EImageError {
public:
    using EImageError::EImageError;
};

// A bitmap or clipboard content that cannot be taken over.
class EInvalidGraphic : public EImageError {
public:
    using EImageError::EImageError;
};

} // namespace vistrel
