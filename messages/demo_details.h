// The lines of a demo's details: what `quendrix-inspect --details` prints
// after the nine-line summary and the window's "Demo details" shows. UTF-8,
// each line ending with a line feed. Portable: no platform headers.
#pragma once

#include <string>

#include "demo/demo_summary.h"
#include "messages/demo_messages.h"

// The structure, then the server, the maps when there are several, the
// recorder, the players, a line per kill and per chat line, and a count of the
// console commands, or a line for each when allCommands.
std::string ComposeDetails(const DemoInspection& demo, const DemoMessages& messages,
                           bool allCommands);
