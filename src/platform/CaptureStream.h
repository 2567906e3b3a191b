#pragma once

// One running record stream of the sound server. Destroying it stops the capture: once the
// destructor returns, its buffer handler is never called again.
class CaptureStream {
 public:
  virtual ~CaptureStream() = default;
};
