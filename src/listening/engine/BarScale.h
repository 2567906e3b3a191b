#pragma once

// Turns a meter's peak level into a bar height from 0 to 1 for the parent app's level bars.
// The scale follows the room: its noise estimate falls at once to any quieter level and rises
// slowly, so a steady noise fades from the bar while speech above it shows.
// A plain value: its owner mutates it from one place.
struct BarScale {
  float roomDb = -45.0f;
  const float riseDb = 0.5f;
  const float quietestRoomDb = -50.0f;
  const float marginDb = 3.0f;
  const float spanDb = 20.0f;

  // The bar height for a linear peak level (1.0 = full scale), with two decimals; updates the
  // room estimate. Levels that are not finite and positive give 0 and change nothing.
  double height(float level);
};
