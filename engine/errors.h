#pragma once
// Errors raised by the engine and the layers under it. Every message is a
// Windows-1252 byte string in French, ready to be shown to the user once it
// has been converted at the widget or terminal boundary.

#include <stdexcept>
#include <string>

namespace veskor {

class VeskorError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A fetch failed: unreachable server, broken connection, HTTP error status,
// time-out, oversized body, application shutting down.
class FetchError : public VeskorError {
 public:
  using VeskorError::VeskorError;
};

// A cut of a server reply started beyond the end of its text.
class OutOfRangeError : public VeskorError {
 public:
  using VeskorError::VeskorError;
};

}  // namespace veskor
