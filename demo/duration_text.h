// A demo's duration as players read it.
#pragma once

#include <string>

// "m:ss (s.sss s)", whole seconds cut off; "unknown" for a time that is not a
// number or is negative.
std::string DurationText(double seconds);

// "m:ss" alone, as a moment of a demo is shown; "?:??" where the time is not
// a number or is negative.
std::string ClockText(double seconds);
