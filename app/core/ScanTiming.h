#pragma once

// The numbers of the scan's rhythm, one place for the window, the dump and their help texts.
namespace ScanTiming {

// How often the window looks whether the interval has passed since the last scan began.
inline constexpr int CadenceTickMs = 1000;
// The pause between two attempts at a snapshot of a file another program holds.
inline constexpr int RetryTickMs = 300;
// Attempts at the snapshot in one scan before it gives up.
inline constexpr int MaxOpenAttempts = 30;

// The interval between two scans, in seconds: the range the user may set, and the interval of
// a first run.
inline constexpr int MinIntervalSeconds = 10;
inline constexpr int MaxIntervalSeconds = 1000;
inline constexpr int DefaultIntervalSeconds = 20;

} // namespace ScanTiming
