#pragma once

// A started remote desktop session that takes key events. Exists so the paste can go through
// whichever service the desktop offers.
class KeySession {
 public:
  virtual ~KeySession() = default;

  // Presses or releases the key of this kernel key code. False when the session refused it or
  // did not answer in time; the session is then of no more use.
  virtual bool key(unsigned kernelCode, bool down) = 0;
};
