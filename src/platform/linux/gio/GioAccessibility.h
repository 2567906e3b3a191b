#pragma once

#include "platform/Accessibility.h"

// The accessibility switch through GDBus: org.a11y.Status.IsEnabled on the session bus's
// org.a11y.Bus, the property desktops flip to turn assistive technologies on.
class GioAccessibility final : public Accessibility {
 public:
  bool enabled() override;
  void enable() override;
};
