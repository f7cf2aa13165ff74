// The beat of a song, for placing a suggested part on it: the beat period
// from the autocorrelation of the onset envelope (favouring tempos near
// 120 BPM, as beat trackers do), and moving a time to the strongest onset
// within half a beat of it.
//
// Ownership: plain values. Threads: any thread.
#pragma once

#include <vector>

// The beat period in onset steps, between 60 and 180 BPM. 0 when the envelope
// shows no beat at all (a steady tone, silence).
double BeatPeriodSteps(const std::vector<float>& onset, double step_seconds);

// `seconds` moved onto the strongest onset within half a beat period (at most
// 0.4 s) of it, nearer onsets preferred; unchanged where no onset stands out.
double SnapToBeat(double seconds, const std::vector<float>& onset, double step_seconds,
                  double period_steps);
