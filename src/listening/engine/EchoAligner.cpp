#include "listening/engine/EchoAligner.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>

namespace {

std::int64_t samplesOf(double seconds) {
  return static_cast<std::int64_t>(std::llround(seconds * EchoAligner::RATE));
}

}  // namespace

EchoAligner::EchoAligner(std::unique_ptr<EchoCanceller> canceller, FaultHandler onFault,
                         const Settings& settings)
    : settings_(settings),
      onFault_(std::move(onFault)),
      ring_(static_cast<std::size_t>(samplesOf(settings.ring))),
      canceller_(std::move(canceller)),
      played_(FRAME),
      heard_(FRAME),
      cleaned_(FRAME),
      history_(static_cast<std::size_t>(samplesOf(settings.searchWindow))),
      search_(RATE, settings.maxAhead + settings.maxDelay) {}

void EchoAligner::reference(std::span<const std::int16_t> samples, std::optional<double> captured) {
  if (samples.empty()) return;
  std::lock_guard guard(mutex_);
  const auto size = static_cast<std::int64_t>(ring_.size());
  const std::int64_t gap = referenceClock_.place(referenceEnd_, captured,
                                                 static_cast<std::int64_t>(samples.size()));
  // Nothing was played in a gap: the ring keeps silence for it, so that the indices keep time.
  for (std::int64_t i = std::max<std::int64_t>(0, gap - size); i < gap; ++i) {
    ring_[static_cast<std::size_t>((referenceEnd_ + i) % size)] = 0;
  }
  referenceEnd_ += gap;
  for (const std::int16_t sample : samples) {
    ring_[static_cast<std::size_t>(referenceEnd_++ % size)] = sample;
  }
}

void EchoAligner::mic(std::span<const std::int16_t> samples, std::optional<double> captured,
                      std::vector<std::int16_t>& out) {
  const std::int64_t gap = micClock_.place(micEnd_, captured, static_cast<std::int64_t>(samples.size()));
  if (gap > 0) {
    // What waits goes out before the gap, as it is.
    out.insert(out.end(), pending_.begin(), pending_.end());
    pending_.clear();
    micEnd_ += gap;
    analysed_ = micEnd_;
    learningFrom_.reset();
  }
  micEnd_ += static_cast<std::int64_t>(samples.size());
  pending_.insert(pending_.end(), samples.begin(), samples.end());
  handOn(false, out);
}

void EchoAligner::flush(std::vector<std::int16_t>& out) {
  handOn(true, out);
  out.insert(out.end(), pending_.begin(), pending_.end());
  pending_.clear();
}

void EchoAligner::handOn(bool end, std::vector<std::int16_t>& out) {
  {
    std::lock_guard guard(mutex_);
    link(micEnd_);
  }
  const std::int64_t first = micEnd_ - static_cast<std::int64_t>(pending_.size());
  const auto frameAt = [&](std::int64_t index) {
    return std::span<const std::int16_t>(pending_).subspan(static_cast<std::size_t>(index - first), FRAME);
  };
  for (; analysed_ + static_cast<std::int64_t>(FRAME) <= micEnd_ && (end || !waits(analysed_)); analysed_ += FRAME) {
    analyse(frameAt(analysed_), analysed_);
  }
  std::int64_t index = first;
  for (; index + static_cast<std::int64_t>(FRAME) <= micEnd_ && index < analysed_; index += FRAME) {
    // At the end nothing is held, and what still waits for its sound goes as it is.
    const bool stays = end ? found_ && !referenceCame(index) : held(index) || waits(index);
    if (stays) break;
    frame(frameAt(index), index, out);
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(index - first));
}

void EchoAligner::analyse(std::span<const std::int16_t> mic, std::int64_t index) {
  const auto historySize = static_cast<std::int64_t>(history_.size());
  for (std::size_t i = 0; i < FRAME; ++i) {
    history_[static_cast<std::size_t>((index + static_cast<std::int64_t>(i)) % historySize)] = mic[i];
  }
  if (!canceller_) return;
  bool sound = false;
  {
    std::lock_guard guard(mutex_);
    const auto target = referenceFor(index, delay_);
    sound = target && copyReference(*target, heard_) && sounds(heard_);
  }
  // Until the delay is known, the echo may come from any sound played around the frame (and
  // the reference may come later than the microphone: the sound at the delay in use may not be
  // there yet).
  const bool near = sound || (!found_ && loudestAround(index) > settings_.silent);
  if (near) follow(index + static_cast<std::int64_t>(FRAME));
  if (found_ || unheard_) {
    learningFrom_.reset();
    learningQuiet_ = 0;
    return;
  }
  if (near && !learningFrom_) learningFrom_ = index;
  if (!learningFrom_) return;
  learningQuiet_ = near ? 0 : learningQuiet_ + static_cast<std::int64_t>(FRAME);
  const bool timeUp = index + static_cast<std::int64_t>(FRAME) - *learningFrom_ >= samplesOf(settings_.learn);
  // The sound played ended (its echo with it) without an echo heard: it may be looked for
  // again next time.
  const bool ended = learningQuiet_ > samplesOf(settings_.maxDelay + canceller_->tail());
  if (timeUp || ended) {
    unheard_ = timeUp;
    learningFrom_.reset();
    learningQuiet_ = 0;
  }
}

bool EchoAligner::waits(std::int64_t index) const {
  // Once the echo is found, a frame whose sound has not come waits for it, up to maxAhead: the
  // reference can come later than the microphone, and an echo can even seem ahead of its sound.
  return found_ && !referenceCame(index) && micEnd_ - index < samplesOf(settings_.maxAhead);
}

bool EchoAligner::sounds(std::span<const std::int16_t> played) const {
  return std::any_of(played.begin(), played.end(),
                     [this](std::int16_t s) { return std::abs(s) > settings_.silent; });
}

bool EchoAligner::referenceCame(std::int64_t index) const {
  std::lock_guard guard(mutex_);
  const auto last = referenceFor(index + static_cast<std::int64_t>(FRAME), delay_);
  return !last || *last <= referenceEnd_;
}

std::optional<std::int64_t> EchoAligner::referenceFor(std::int64_t index, double lag) const {
  if (!link_) return std::nullopt;
  return static_cast<std::int64_t>(std::llround(static_cast<double>(index) + *link_ - lag * RATE));
}

void EchoAligner::link(std::int64_t index) {
  const auto micTime = micClock_.timeOf(index);
  const auto anyReferenceTime = referenceClock_.timeOf(0);
  // Streams without times start together; with times on one side only, nothing can be matched.
  if (!micTime && !anyReferenceTime) {
    link_ = 0;
    return;
  }
  if (!micTime || !anyReferenceTime) return;
  const double byTimes = *referenceClock_.indexAt(*micTime) - static_cast<double>(index);
  byTimes_ = byTimes;
  // While the server's streams start, their times can move by half a second in one, chunk by
  // chunk, while the samples keep time. While no echo is heard, the link follows the times only
  // when they have moved, since the last search that heard the echo, by more than the search can
  // reach (an output whose latency changed can move them too). Once it is heard, the link stays:
  // on a real server the times wander by more than a millisecond a second while the samples keep
  // time to the sample, and each move of the canceller's reference makes its filter learn the
  // room again. The two clocks' true drift the filter follows, and the searches beyond it.
  const bool heard = found_ && echoAt_ && index - *echoAt_ <= samplesOf(settings_.echoHeld);
  if (!link_ || (!heard && std::abs(byTimes - (found_ ? anchor_ : 0) - *link_) >
                               static_cast<double>(samplesOf(settings_.resync)))) {
    link_ = byTimes;
    anchor_ = 0;
    run_ = 0;
  }
}

bool EchoAligner::copyReference(std::int64_t from, std::span<std::int16_t> to) const {
  const auto size = static_cast<std::int64_t>(ring_.size());
  const std::int64_t oldest = std::max<std::int64_t>(0, referenceEnd_ - size);
  bool known = false;
  for (std::size_t i = 0; i < to.size(); ++i) {
    const std::int64_t at = from + static_cast<std::int64_t>(i);
    const bool kept = at >= oldest && at < referenceEnd_;
    to[i] = kept ? ring_[static_cast<std::size_t>(at % size)] : 0;
    known = known || kept;
  }
  return known;
}

void EchoAligner::frame(std::span<const std::int16_t> mic, std::int64_t index,
                        std::vector<std::int16_t>& out) {
  bool known = false;
  {
    std::lock_guard guard(mutex_);
    if (const auto target = referenceFor(index, delay_)) known = copyReference(*target, played_);
  }
  const bool sound = known && sounds(played_);
  if (sound) {
    quietFor_ = 0;
  } else if (quietFor_ >= 0) {
    quietFor_ += static_cast<std::int64_t>(FRAME);
  }
  // After the reference falls silent its echo still rings for the canceller's tail.
  const bool ringing = quietFor_ >= 0 && quietFor_ <= samplesOf(canceller_ ? canceller_->tail() : 0);
  // Until a first echo is heard the canceller waits, so that it learns the room with the
  // reference where the echo is.
  cancelling_ = canceller_ && ringing && found_;
  if (!cancelling_) {
    out.insert(out.end(), mic.begin(), mic.end());
    return;
  }
  try {
    canceller_->process(mic, played_, cleaned_);
  } catch (const std::exception& failure) {
    canceller_.reset();
    cancelling_ = false;
    out.insert(out.end(), mic.begin(), mic.end());
    if (onFault_) onFault_(failure.what());
    return;
  }
  suppressor_.apply(played_, mic, cleaned_, index < certainFrom_ ? loudestAround(index) * roomGain_ : 0);
  // The canceller learns the room all along, but its sound is used only while an echo is heard:
  // with headphones the microphone stays as it was.
  const bool echo = echoAt_ && index - *echoAt_ <= samplesOf(settings_.echoHeld);
  const auto& kept = echo ? std::span<const std::int16_t>(cleaned_) : mic;
  out.insert(out.end(), kept.begin(), kept.end());
}

double EchoAligner::loudestAround(std::int64_t index) {
  const std::int64_t ahead = samplesOf(settings_.maxAhead);
  const std::int64_t longest = samplesOf(settings_.maxDelay);
  around_.resize(static_cast<std::size_t>(ahead + longest) + FRAME);
  {
    std::lock_guard guard(mutex_);
    const auto at = referenceFor(index, 0);
    if (!at) return 0;
    copyReference(*at - longest, around_);
  }
  double loudest = 0;
  for (std::size_t from = 0; from + FRAME <= around_.size(); from += FRAME) {
    loudest = std::max(loudest, EchoSuppressor::loudness(std::span(around_).subspan(from, FRAME)));
  }
  return loudest;
}

std::optional<EchoDelaySearch::Found> EchoAligner::searchBefore(std::int64_t end, std::int64_t window) {
  const auto kept = static_cast<std::int64_t>(history_.size());
  searchMic_.resize(static_cast<std::size_t>(window));
  for (std::int64_t i = 0; i < window; ++i) {
    searchMic_[static_cast<std::size_t>(i)] = history_[static_cast<std::size_t>((end - window + i) % kept)];
  }
  // The search's lags run from maxAhead before the microphone's time to maxDelay after it.
  const std::int64_t ahead = samplesOf(settings_.maxAhead);
  const std::int64_t longest = samplesOf(settings_.maxDelay);
  searchReference_.resize(static_cast<std::size_t>(window + ahead + longest));
  {
    std::lock_guard guard(mutex_);
    const auto last = referenceFor(end, 0);
    if (!last) return std::nullopt;
    copyReference(*last - window - longest, searchReference_);
  }
  auto found = search_.search(searchMic_, searchReference_);
  if (found) found->delay -= settings_.maxAhead;
  return found;
}

void EchoAligner::follow(std::int64_t end) {
  const auto kept = static_cast<std::int64_t>(history_.size());
  const std::int64_t shortest = samplesOf(settings_.searchShortest);
  if (std::min(end, kept) < shortest || end < nextSearch_) return;
  nextSearch_ = end + samplesOf(found_ ? settings_.searchEvery : settings_.searchFirst);
  // Until a first echo is heard, the latest sound is compared, so that the echo is found as soon
  // as it starts. A likeness that short must be closer, and found again: by the whole window at
  // the same lag (so not before the microphone has run that long), or by the searches that
  // follow: two voices that only happen to rise and fall together for a moment (headphones,
  // both talking) are not an echo.
  auto found = searchBefore(end, std::min(end, found_ ? kept : shortest));
  if (!found_) {
    // A first echo is heard when the whole window finds it, or when firstRun short searches in
    // a row find it at the same lag.
    const bool like = found && found->likeness >= settings_.firstLikeness;
    run_ = like && run_ > 0 && std::abs(found->delay - runDelay_) <= settings_.shift ? run_ + 1 : like ? 1 : 0;
    if (run_ == 1) runDelay_ = found->delay;
  }
  if (!found) return;
  if (!found_ && run_ < settings_.firstRun) {
    if (found->likeness < settings_.firstLikeness || end < kept) return;
    const auto whole = searchBefore(end, kept);
    if (!whole || whole->likeness < settings_.firstLikeness ||
        std::abs(whole->delay - found->delay) > settings_.agree) {
      return;
    }
  }
  echoAt_ = end;
  // Once a delay is in use, two searches in a row must agree before the canceller's reference
  // moves: each move makes its filter learn the room again.
  const bool confirmed = !found_ || (candidate_ && std::abs(found->delay - *candidate_) <= settings_.agree);
  candidate_ = found->delay;
  if (confirmed) anchor_ = byTimes_ - link_.value_or(0);
  const double start = found->delay - settings_.lead;
  if (confirmed && (!found_ || std::abs(start - delay_) > settings_.shift)) delay_ = start;
  // The first echo is sure over the shortest search's span; before it the delay may have been
  // another (an output that starts can move it), and the echo is foretold from all it may be.
  if (!found_ && confirmed) certainFrom_ = end - shortest;
  found_ = found_ || confirmed;
  // The room's gain is read where the echo is taken out: a search that found another lag (the
  // user's voice rising as the other side's sound starts) tells nothing of it.
  if (std::abs(start - delay_) > settings_.shift) return;
  roomGain_ = roomGain_ ? (roomGain_ + found->gain) / 2 : found->gain;
  suppressor_.setRoomGain(roomGain_);
}
