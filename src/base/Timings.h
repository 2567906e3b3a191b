#pragma once

#include <chrono>

#include "base/LandingTimes.h"

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
  // permission <automation name>: how long D-Bus activation of the target may take to answer.
  Millis automationActivationLimit{10000};
  // secret: how long one keyring call may take (a locked keyring waits on its unlock prompt).
  Millis secretCallLimit{60000};
  // calendar and reminder commands: how long one call into the calendar store may take.
  Millis storeCallLimit{15000};
  // chrome-open: how long the started browser is watched for an early failed exit.
  Millis launchWatch{1000};
  // listen who mic: the pause between two passes.
  Seconds micUserWatchPause{3.0};
  // music-hush, music-play: the longest a media player may take to answer one call.
  Millis mediaPlayerCallLimit{2000};
  // sound: the pause after the sound has finished, and the longest a sound may play.
  Seconds soundTail{0.1};
  Millis soundLongest{30000};
  // listen dictate: nothing heard this long after listening began ends it; the hard cap; the
  // watch tick; the level lines; the hold modes' wait for a first buffer before one restart of
  // the microphone (and again before giving up); the transcriber's drain at a stop.
  Seconds dictateSilent{8.0};
  Seconds dictateCap{120.0};
  Seconds dictateTick{0.25};
  Seconds levelInterval{0.125};
  Seconds dictateNoAudio{1.0};
  Seconds dictateDrain{1.0};
  // listen dictate: the most an ending may take beyond its drain (a cancel has no drain) before
  // the process ends all the same.
  Seconds endingGrace{1.0};
  // listen meeting: no settled phrase this long while the microphone runs ends it ("quiet");
  // this long after the session was made it ends ("cap"); the self-stop check; the source
  // reports in the run log; the exit watchdog of an ending; the other side's start limit; each
  // transcriber's drain in the teardown.
  Seconds meetingQuiet{600.0};
  Seconds meetingCap{14400.0};
  Seconds meetingTick{10.0};
  Seconds meetingReport{15.0};
  Seconds meetingWatchdog{5.0};
  Seconds otherSideStartLimit{20.0};
  // listen meeting mic: the start limit of the computer's sound recorded for the echo canceller.
  Seconds echoReferenceStartLimit{5.0};
  Seconds meetingDrain{3.0};
  // listen hold-key: the hold delay; from the paste keystroke to the clipboard's restore; the
  // trust poll; one question to an application's accessibility; the exit after input ended;
  // the wait for the events of the bridge's own paste keys.
  Seconds holdDelay{HOLD_SECONDS};
  Seconds clipboardBack{CLIPBOARD_BACK_SECONDS};
  Seconds accessCheck{ACCESS_CHECK_SECONDS};
  Millis askApp{static_cast<int>(ASK_APP_SECONDS * 1000)};
  Seconds holdKeyBackstop{HOLD_KEY_BACKSTOP_SECONDS};
  Seconds ownKeys{OWN_KEYS_SECONDS};
};
