#pragma once

#include <string>

struct Context;

// listen hold-key <control|right-option|none>: watches the hold key across the desktop and
// reports holds as event lines; lands the text that comes back on standard input. Ends with
// status 0 after standard input ends or says "stop" and the queued landings are done.
[[noreturn]] void runHoldKey(Context& context, const std::string& key);
