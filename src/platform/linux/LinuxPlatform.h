#pragma once

#include "platform/Platform.h"

// The real services of a Linux desktop.
Platform makeLinuxPlatform();
