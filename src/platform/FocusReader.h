#pragma once

#include <chrono>
#include <string>

// What has keyboard focus in an application, as its accessibility interface tells.
struct Focus {
  enum class Kind {
    Element,  // an element has focus and its role could be read
    Nothing,  // the application says nothing has focus
    Unknown,  // cannot be told (no answer in time, not on the accessibility bus, an error)
  };
  Kind kind = Kind::Unknown;
  std::string role;       // the role's name ("text", "password text", "push button"), Element only
  bool editable = false;  // the element takes typed text

  static Focus element(std::string role, bool editable = false) {
    return Focus{Kind::Element, std::move(role), editable};
  }
  static Focus nothing() { return Focus{Kind::Nothing, "", false}; }
  static Focus unknown() { return Focus{}; }
};

// The focused element of an application, through the desktop's accessibility bus.
// Exists so tests can replace it.
class FocusReader {
 public:
  virtual ~FocusReader() = default;

  // The focus inside the application of process `pid`. Every call to the application waits at
  // most `callLimit`, and the whole question at most a few of them.
  virtual Focus focusIn(long pid, std::chrono::milliseconds callLimit) = 0;
};
