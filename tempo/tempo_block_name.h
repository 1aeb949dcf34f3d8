// The name of the tempo block this process's plug-ins write and read: kTempoBlockName, unless
// the environment variable TARNWELL_TEMPO_BLOCK names another. Tests give each run a block of
// its own with it, so that they never meet a session's plug-ins or each other.
#pragma once

#include <string>

// UI thread (reads the live environment). A value that is empty or too long for a mapping
// name counts as absent.
std::string TempoBlockNameFromEnvironment();
