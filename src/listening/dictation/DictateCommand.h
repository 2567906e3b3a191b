#pragma once

#include "listening/dictation/DictateWords.h"

struct Context;

// listen dictate <mode>: checks the microphone, opens a fresh run log, runs one dictation and
// turns "stop" and "cancel" on standard input into its endings; end of input cancels.
[[noreturn]] void runDictate(Context& context, double quietSeconds, bool hold, bool keep);
