#include "listening/engine/EchoDelaySearch.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

EchoDelaySearch::EchoDelaySearch(double rate, double maxDelay)
    : step_(static_cast<std::size_t>(std::lround(rate / 1000))),
      lags_(static_cast<std::size_t>(std::lround(maxDelay * 1000)) + 1) {}

void EchoDelaySearch::loudness(std::span<const std::int16_t> samples, std::vector<double>& out) const {
  out.assign(samples.size() / step_, 0.0);
  for (std::size_t i = 0; i < out.size(); ++i) {
    double sum = 0;
    for (std::size_t k = 0; k < step_; ++k) sum += std::abs(samples[i * step_ + k]);
    out[i] = sum / static_cast<double>(step_);
  }
}

std::optional<EchoDelaySearch::Found> EchoDelaySearch::search(
    std::span<const std::int16_t> mic, std::span<const std::int16_t> reference) {
  loudness(mic, mic_);
  loudness(reference, reference_);
  const std::size_t n = mic_.size();
  if (n < 2 || reference_.size() < n + lags_ - 1) return std::nullopt;
  const auto mean = [](const double* from, std::size_t count) {
    return std::accumulate(from, from + count, 0.0) / static_cast<double>(count);
  };
  const double micMean = mean(mic_.data(), n);
  if (micMean < QUIET || mean(reference_.data(), reference_.size()) < QUIET) return std::nullopt;
  double micPower = 0;
  for (double& value : mic_) {
    value -= micMean;
    micPower += value * value;
  }
  // The reference's window for lag L ends L steps before its end, as the microphone's does.
  const std::size_t last = reference_.size() - n;
  std::optional<Found> best;
  for (std::size_t lag = 0; lag < lags_; ++lag) {
    const double* window = reference_.data() + (last - lag);
    const double windowMean = mean(window, n);
    double product = 0, power = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const double value = window[i] - windowMean;
      product += mic_[i] * value;
      power += value * value;
    }
    if (power <= 0 || micPower <= 0) continue;
    const double likeness = product / std::sqrt(power * micPower);
    if (!best || likeness > best->likeness) {
      best = Found{static_cast<double>(lag) / 1000, likeness, product / power};
    }
  }
  if (!best || best->likeness < LIKENESS) return std::nullopt;
  return best;
}
