#pragma once

#include <string>

#include "listening/meeting/MeetingIdentity.h"

struct Context;

// listen meeting <mic|both>
[[noreturn]] void runListen(Context& context, const std::string& sources);
