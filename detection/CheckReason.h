#pragma once
// Why a check that may post runs. Carried as the interval tick's wParam, so the numbers are part of
// that message's meaning: 0 is the regular tick.

namespace tovra {

enum class CheckReason : unsigned {
    Interval = 0,         // the regular tick
    ResumedFromSleep = 1, // the machine woke: its address may have changed while it slept
    NetworkChanged = 2,   // the machine's addresses changed
    Retry = 3,            // the last check found no address or could not upload
};

} // namespace tovra
