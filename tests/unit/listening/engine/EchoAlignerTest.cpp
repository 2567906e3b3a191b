#include "listening/engine/EchoAligner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>

namespace {

// Keeps the reference frames it is given; its sound is the microphone's negated, so the test sees
// which frames it made (what the suppressor leaves of them has the other sign).
struct FakeCanceller : EchoCanceller {
  std::vector<std::vector<std::int16_t>>* seen;
  bool fails = false;
  void process(std::span<const std::int16_t> mic, std::span<const std::int16_t> reference,
               std::span<std::int16_t> out) override {
    if (fails) throw Failure("the filter diverged");
    seen->emplace_back(reference.begin(), reference.end());
    std::transform(mic.begin(), mic.end(), out.begin(), [](std::int16_t s) { return std::int16_t(-s); });
  }
  double tail() const override { return 0.25; }
};

// Noise whose loudness changes every 50 ms, as speech's does.
std::vector<std::int16_t> bursts(std::size_t samples, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0, 1);
  std::vector<std::int16_t> out(samples);
  double level = 0;
  for (std::size_t i = 0; i < samples; ++i) {
    if (i % 800 == 0) level = random() % 2 ? 3000 : 100;
    out[i] = static_cast<std::int16_t>(std::clamp(noise(random) * level, -32000.0, 32000.0));
  }
  return out;
}

struct Played {
  std::vector<std::int16_t> reference, near, mic, out;
  std::size_t emitted = 0;  // the samples out before the end's flush
  std::vector<std::vector<std::int16_t>> seen;
  std::vector<std::string> faults;
};

// Plays `reference` (its clock `ppm` fast) into a microphone `delay` seconds away (`later` from
// the middle on) that also hears `near`, 20 ms at a time, each chunk with its capture time; the
// microphone's times start `settling` seconds early and come right over the first second, as a
// server's do while its timing settles.
void play(Played& run, double delay, double later, double ppm, bool echo = true, bool fails = false,
          double settling = 0) {
  const double rate = 16000 * (1 + ppm * 1e-6);
  run.mic = run.near;
  run.mic.resize(std::max(run.near.size(), run.reference.size()));
  for (std::size_t j = 0; echo && j < run.mic.size(); ++j) {
    const double d = j < run.mic.size() / 2 ? delay : later;
    const auto k = static_cast<long>(std::lround((j / 16000.0 - d) * rate));
    if (k >= 0 && k < long(run.reference.size())) run.mic[j] = static_cast<std::int16_t>(run.mic[j] + run.reference[k] / 2);
  }
  auto canceller = std::make_unique<FakeCanceller>();
  canceller->seen = &run.seen;
  canceller->fails = fails;
  EchoAligner aligner(std::move(canceller), [&run](const std::string& why) { run.faults.push_back(why); });
  for (std::size_t at = 0; at + 320 <= run.mic.size(); at += 320) {
    if (at + 320 <= run.reference.size()) aligner.reference(std::span(run.reference).subspan(at, 320), 5 + at / rate);
    const double time = at / 16000.0;
    aligner.mic(std::span(run.mic).subspan(at, 320), 5 + time - settling * std::max(0.0, 1 - time), run.out);
  }
  run.emitted = run.out.size();
  aligner.flush(run.out);
}

// Where in the reference the canceller's last frame starts.
long lastFrameAt(const Played& run) {
  const auto at = std::search(run.reference.begin(), run.reference.end(), run.seen.back().begin(),
                              run.seen.back().end());
  return at == run.reference.end() ? -1 : long(at - run.reference.begin());
}

// The delay is found and followed when it changes; the canceller's reference starts 20 ms ahead,
// within 4 ms. The two clocks' drift (1000 ppm over 20 s is 20 ms) moves the echo in the
// canceller's filter by at most a search's 10 ms before the delay follows it.
// An echo that comes ahead of its sound by the two streams' times waits for that sound. The
// frames heard while the first echo is looked for wait too, and the echo is taken out from its
// first moment, also while the microphone's times settle.
TEST(EchoAligner, HandsTheCancellerTheReferencePlayedWithTheEcho) {
  const struct {
    double delay, later, ppm, settling, off;
  } cases[] = {{0.06, 0.06, 0, 0, 64},     {0.2, 0.2, 0, 0, 64},   {0.06, 0.15, 0, 0, 64},
               {0.06, 0.06, 1000, 0, 192}, {-0.1, -0.1, 0, 0, 64}, {0.06, 0.06, 0, 0.4, 64}};
  for (const auto& c : cases) {
    Played run;
    run.reference = bursts(20 * 16000, 1);
    play(run, c.delay, c.later, c.ppm, true, false, c.settling);
    ASSERT_FALSE(run.seen.empty());
    const double end = (run.emitted - 160) / 16000.0;
    const double expected = (end - c.later + 0.02) * 16000 * (1 + c.ppm * 1e-6);
    EXPECT_NEAR(lastFrameAt(run), expected, c.off) << c.delay << " s then " << c.later << " s, " << c.ppm << " ppm";
    EXPECT_LE(run.out[run.emitted - 1] * run.mic[run.emitted - 1], 0);
    ASSERT_EQ(run.out.size(), run.mic.size());
    const auto first = std::mismatch(run.out.begin(), run.out.end(), run.mic.begin()).first - run.out.begin();
    EXPECT_LE(first, std::max(0.0, c.delay) * 16000 + 320) << c.delay << " s then " << c.later << " s, " << c.settling;
  }
}

// With no reference, a silent one, one the microphone does not hear (headphones), or a canceller
// that fails, the microphone comes out as it went in.
TEST(EchoAligner, PassesTheMicrophoneThroughWhenThereIsNoEchoToTakeOut) {
  const struct {
    const char* what;
    std::vector<std::int16_t> reference, near;
    bool echo, fails;
    std::size_t faults;
  } cases[] = {{"none", {}, bursts(4 * 16000, 4), false, false, 0},
               {"silent", std::vector<std::int16_t>(4 * 16000, 1), bursts(4 * 16000, 4), true, false, 0},
               {"unheard", bursts(4 * 16000, 2), bursts(4 * 16000, 4), false, false, 0},
               {"failing", bursts(4 * 16000, 3), {}, true, true, 1}};
  for (const auto& c : cases) {
    Played run{c.reference, c.near, {}, {}, 0, {}, {}};
    play(run, 0.06, 0.06, 0, c.echo, c.fails);
    EXPECT_EQ(run.out, run.mic) << c.what;
    EXPECT_EQ(run.faults.size(), c.faults) << c.what;
  }
}

}  // namespace
