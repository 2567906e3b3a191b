#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>

#include "listening/engine/AudioMeter.h"
#include "support/Pcm.h"

TEST(AudioMeter, AnEmptyIntervalReportsItsResetValues) {
  AudioMeter meter;
  EXPECT_EQ(meter.report(), (nlohmann::json{{"calls", 0},
                                            {"frames", 0},
                                            {"buffersInFirstCall", -1},
                                            {"bytesInFirstCall", -1},
                                            {"peak", 0.0}}));
}

TEST(AudioMeter, OnlyTheFirstBufferAfterAReportSetsTheLayout) {
  AudioMeter meter;
  meter.saw({}, SampleFormat::Float32, 10);
  auto report = meter.report();
  EXPECT_EQ(report["calls"], 1);
  EXPECT_EQ(report["frames"], 10);
  EXPECT_EQ(report["buffersInFirstCall"], 0);
  EXPECT_EQ(report["bytesInFirstCall"], -1);

  meter.saw(floats(48000, 2, {0.1f, 0.2f, 0.3f, 0.4f}));
  PcmBuffer planar(PcmFormat{48000, 2, SampleFormat::Float32, false}, 8);
  planar.setFrameLength(8);
  meter.saw(planar);
  report = meter.report();
  EXPECT_EQ(report["calls"], 2);
  EXPECT_EQ(report["frames"], 10);
  EXPECT_EQ(report["buffersInFirstCall"], 1);
  EXPECT_EQ(report["bytesInFirstCall"], 16);
}

TEST(AudioMeter, PeakScalesEachSampleTypeAndScansEveryChannel) {
  AudioMeter meter;
  meter.saw(shorts(16000, 1, {100, -32768}));
  EXPECT_EQ(meter.level(), 1.0f);
  meter.saw(pcmOf<std::int32_t>(16000, 1, SampleFormat::Int32, {1 << 30}));
  EXPECT_FLOAT_EQ(meter.level(), 0.5f);
  meter.saw(floats(16000, 2, {0.1f, -0.7f}));
  EXPECT_FLOAT_EQ(meter.level(), 0.7f);
  meter.saw(pcmOf<double>(16000, 1, SampleFormat::Float64, {0.9}));
  EXPECT_EQ(meter.level(), 0.0f);
  EXPECT_EQ(meter.report()["calls"], 4);
}

TEST(AudioMeter, InfinityIsNotFiniteAndNanIsIgnored) {
  AudioMeter meter;
  meter.saw(floats(16000, 1, {std::numeric_limits<float>::quiet_NaN(), 0.25f}));
  EXPECT_EQ(meter.report()["peak"], 0.25);
  meter.saw(floats(16000, 1, {std::numeric_limits<float>::infinity()}));
  EXPECT_EQ(meter.report()["peak"], "not finite");
}

TEST(AudioMeter, LevelAndReportReadIndependently) {
  AudioMeter meter;
  meter.saw(floats(16000, 1, {0.5f}));
  meter.report();
  EXPECT_EQ(meter.level(), 0.5f);
  EXPECT_EQ(meter.level(), 0.0f);
  meter.saw(floats(16000, 1, {0.25f}));
  EXPECT_EQ(meter.report()["peak"], 0.25);
  EXPECT_EQ(meter.level(), 0.25f);
}

TEST(AudioMeter, BuffersFromManyThreadsAreAllCountedAcrossConcurrentReports) {
  // Two capture threads, while a third reads levels and reports as the timers do: what each
  // report resets is counted in exactly one report.
  AudioMeter meter;
  auto buffer = floats(16000, 1, std::vector<float>(64, 0.1f));
  auto play = [&] {
    for (int i = 0; i < 1000; ++i) meter.saw(buffer);
  };
  std::atomic<bool> played{false};
  std::int64_t calls = 0, frames = 0;
  auto add = [&](const nlohmann::json& report) {
    calls += report["calls"].get<std::int64_t>();
    frames += report["frames"].get<std::int64_t>();
  };
  std::thread reader([&] {
    while (!played) {
      EXPECT_LE(meter.level(), 0.1f);
      add(meter.report());
    }
  });
  std::thread a(play), b(play);
  a.join();
  b.join();
  played = true;
  reader.join();
  add(meter.report());
  EXPECT_EQ(calls, 2000);
  EXPECT_EQ(frames, 128000);
}
