#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "listening/engine/EchoDelaySearch.h"
#include "listening/engine/EchoSuppressor.h"
#include "listening/engine/StreamClock.h"
#include "platform/EchoCanceller.h"

// Takes the echo of the computer's own sound out of the microphone's sound in a meeting. The
// microphone and the reference (the sound played, from the default output's monitor) come from
// two captures, each in chunks of 16 kHz mono 16-bit samples with the time their first sample
// was captured (seconds on the steady clock, from the server's latency). The reference is kept
// in a ring (Settings::ring seconds); each 10 ms of the microphone goes to the canceller with the
// reference frame played at the same time, less the delay found from speaker to microphone
// (EchoDelaySearch over the last searchWindow seconds, every searchEvery; the canceller's filter
// covers the rest, up to its tail), and what the canceller leaves goes through EchoSuppressor,
// told the room's gain by the same searches. The first echo is looked for every searchFirst over
// the latest searchShortest seconds, so that it is taken out from its first moments. Each
// microphone frame waits, up to maxAhead, for the sound it needs when that has not come: the
// reference can come later than the microphone, and by the two streams' times an echo may even
// come before its sound (a monitor's timing settles after its output starts).
// Until a first echo is heard, the microphone's frames wait while the reference sounds, for up
// to `learn` seconds, and are cancelled as soon as it is found: the echo is taken out from its
// first moment. When none is heard over that much sound (headphones), frames no longer wait.
// Each stream's times place its samples (StreamClock). The two streams' samples are matched from
// the times (the link), and, once an echo is heard, held together: the times can move by
// hundreds of ms while a server's streams start, the samples do not; the two clocks' drift the
// canceller's filter follows, and the searches when it grows past what the filter covers. While no
// reference has come, or it has been silent for longer than the canceller's tail, the
// microphone passes through unchanged and the canceller is not run; while the searches hear no
// echo (headphones), the canceller runs but the microphone still passes through unchanged. A
// canceller that fails is told once to onFault, and the microphone passes through from then on.
//
// Threads: reference() from the reference's thread (a capture thread or the other side's worker);
// mic() from the microphone's worker ("vesk.me"), which alone owns the canceller, the
// microphone's clock, its pending samples and the search. mutex_ guards the ring, its clock and
// its count; mic() copies what it needs out under it and runs the canceller after.
class EchoAligner {
 public:
  static constexpr double RATE = EchoCanceller::SAMPLE_RATE;
  static constexpr std::size_t FRAME = EchoCanceller::FRAME;

  struct Settings {
    double ring = 4.0;          // seconds of reference kept
    double maxDelay = 0.3;      // the longest speaker-to-microphone delay looked for
    // How far the echo may seem to come before its sound, by the two streams' times: while a
    // server's timing settles, after a stream starts, they can be a few hundred ms apart.
    double maxAhead = 0.5;
    // How far the two streams' times may move before the microphone's samples are matched to
    // the reference's afresh, while no echo is heard.
    double resync = 0.25;
    double searchWindow = 1.0;  // seconds of the microphone compared
    double searchEvery = 0.25;  // seconds of the microphone between two searches
    double searchFirst = 0.05;  // and until a first echo is heard
    double searchShortest = 0.3;   // seconds compared until then
    double firstLikeness = 0.9;    // how alike the loudnesses must be to find that first echo
    int firstRun = 4;              // or how many short searches in a row must find it
    // How far ahead of the echo the canceller's reference starts, so that an echo a little
    // early still falls inside its filter.
    double lead = 0.02;
    // The first delay found is taken; a later one when two searches in a row agree within
    // `agree`, and it differs from the one in use by more than `shift`.
    double agree = 0.003;
    double shift = 0.01;
    // The longest the microphone's frames wait for a first echo to be found.
    double learn = 2.0;
    // How long the canceller's sound is used after the last search that heard an echo.
    double echoHeld = 10.0;
    // A reference frame whose samples all stay within this many steps of zero is silence.
    int silent = 2;
  };
  using FaultHandler = std::function<void(const std::string& message)>;

  EchoAligner(std::unique_ptr<EchoCanceller> canceller, FaultHandler onFault,
              const Settings& settings);
  EchoAligner(std::unique_ptr<EchoCanceller> canceller, FaultHandler onFault)
      : EchoAligner(std::move(canceller), std::move(onFault), Settings{}) {}
  EchoAligner(const EchoAligner&) = delete;
  EchoAligner& operator=(const EchoAligner&) = delete;

  // Keeps the samples of the sound played; `captured` is when its first sample was played
  // (none: right after the chunk before). Returns at once.
  void reference(std::span<const std::int16_t> samples, std::optional<double> captured);
  // Takes the microphone's samples and appends to `out` those of each whole 10 ms frame now
  // complete, without the echo; the rest waits for the next call (at most one frame of delay,
  // or, once the echo is found, until the sound it comes from has come, or, while a first echo
  // is looked for, until it is found).
  // `captured` is when the first sample was captured (none: right after the chunk before).
  void mic(std::span<const std::int16_t> samples, std::optional<double> captured,
           std::vector<std::int16_t>& out);
  // At the end of the microphone's sound: appends all that still waits, without the echo as far
  // as it is known.
  void flush(std::vector<std::int16_t>& out);

  // The delay in use from the reference to the start of the canceller's filter, in seconds.
  double delay() const { return delay_; }
  // Whether the canceller ran on the last frame (false while it rests).
  bool cancelling() const { return cancelling_; }

 private:
  // What the microphone's frame needs of the reference, copied out under the lock.
  struct Played {
    bool known = false;  // some of the frame's span was in the ring
    bool sound = false;  // and not all of it silent
  };

  // Looks for the echo in a frame as it comes; keeps the frame in the search's history.
  void analyse(std::span<const std::int16_t> mic, std::int64_t index);
  // Whether the frame must wait for the first echo to be found.
  bool held(std::int64_t index) const { return learningFrom_ && index >= *learningFrom_; }
  // Hands a frame on, without the echo.
  void frame(std::span<const std::int16_t> mic, std::int64_t index, std::vector<std::int16_t>& out);
  // Looks at the pending frames not yet looked at, and hands on those that may go; at the `end`,
  // all but those whose sound never came.
  void handOn(bool end, std::vector<std::int16_t>& out);
  // Copies the reference from `from` (index, with fraction rounded) into `to`; zeros where the
  // ring has nothing. Under mutex_.
  bool copyReference(std::int64_t from, std::span<std::int16_t> to) const;
  // The reference index played at the microphone's sample `index`, less the delay in use.
  std::optional<std::int64_t> referenceFor(std::int64_t index, double lag) const;
  // Matches the microphone's samples to the reference's from the two streams' times, at the
  // microphone's sample `index`. Under mutex_.
  void link(std::int64_t index);
  void follow(std::int64_t index);
  // The search over the microphone's last `window` samples before `end`.
  std::optional<EchoDelaySearch::Found> searchBefore(std::int64_t end, std::int64_t window);
  // The loudest frame played from maxDelay before the microphone's frame at `index` to maxAhead
  // after it: what its echo may come from while the delay is not sure.
  double loudestAround(std::int64_t index);
  // Whether the frame at `index` waits for the sound its echo comes from.
  bool waits(std::int64_t index) const;
  // Whether a frame of the reference holds any sound.
  bool sounds(std::span<const std::int16_t> played) const;
  // Whether the reference the frame at `index` needs has come.
  bool referenceCame(std::int64_t index) const;

  const Settings settings_;
  const FaultHandler onFault_;

  mutable std::mutex mutex_;
  std::vector<std::int16_t> ring_;
  std::int64_t referenceEnd_ = 0;  // samples ever kept, gaps included
  StreamClock referenceClock_{RATE};

  // The microphone's worker's own.
  std::unique_ptr<EchoCanceller> canceller_;
  StreamClock micClock_{RATE};
  // The reference's index for the microphone's sample 0 (the two streams' samples keep time
  // together), with where the times put it less `anchor_` as the last search left it.
  std::optional<double> link_;
  double anchor_ = 0;
  double byTimes_ = 0;
  std::int64_t micEnd_ = 0;  // samples ever taken
  std::vector<std::int16_t> pending_;  // samples not yet handed on, from micEnd_ - their count
  std::int64_t analysed_ = 0;          // the frames before this index have been looked at
  std::optional<std::int64_t> learningFrom_;  // the first frame held for the first echo
  std::int64_t learningQuiet_ = 0;  // samples of silent reference since the last sound, meanwhile
  bool unheard_ = false;  // no echo was heard in a whole `learn` of sound: frames no longer wait
  std::vector<std::int16_t> played_;
  std::vector<std::int16_t> heard_;
  std::vector<std::int16_t> around_;
  std::int64_t certainFrom_ = 0;  // before it the first echo is foretold from every delay it may have
  std::vector<std::int16_t> cleaned_;
  std::vector<std::int16_t> history_;  // the last searchWindow seconds of the microphone, a ring
  std::vector<std::int16_t> searchMic_;
  std::vector<std::int16_t> searchReference_;
  EchoDelaySearch search_;
  EchoSuppressor suppressor_;
  std::int64_t nextSearch_ = 0;
  std::optional<double> candidate_;
  int run_ = 0;          // short searches in a row that found a first echo at about runDelay_
  double runDelay_ = 0;
  bool found_ = false;  // whether delay_ came from a search
  std::optional<std::int64_t> echoAt_;  // the microphone's index when an echo was last heard
  std::int64_t quietFor_ = -1;  // samples of silent or missing reference; -1 before any sound
  double delay_ = 0;
  double roomGain_ = 0;
  bool cancelling_ = false;
};
