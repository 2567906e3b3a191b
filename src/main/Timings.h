#pragma once

#include <chrono>

// Every duration of the program. The defaults are the fixed values; tests build shorter ones.
struct Timings {
  using Seconds = std::chrono::duration<double>;
  using Millis = std::chrono::milliseconds;

  // permission-request system-audio: how long to wait for a decision, and how often to look.
  Seconds systemAudioRequestWait{60.0};
  Millis systemAudioRequestPoll{250};
  // permission <automation name>: checks while the target starts, and the pause between them.
  int automationChecks = 40;
  Millis automationPoll{250};
  // listen who mic: the pause between two passes.
  Seconds micUserWatchPause{3.0};
  // listen dictate: nothing heard this long after listening began ends it; the hard cap; the
  // watch tick; the level lines; the hold modes' wait for a first buffer before one restart of
  // the microphone (and again before giving up); the transcriber's drain at a stop.
  Seconds dictateSilent{8.0};
  Seconds dictateCap{120.0};
  Seconds dictateTick{0.25};
  Seconds levelInterval{0.125};
  Seconds dictateNoAudio{1.0};
  Seconds dictateDrain{1.0};
};
