// The run: settle the language of its messages, answer --help or --version,
// load the template, settle and check the target folder, make sure there is
// something to list, and write the pages.
#pragma once

/// Exit statuses of a run.
// 0: pages written, the chooser or the progress cancelled, --help or --version answered.
inline constexpr int kExitDone = 0;
inline constexpr int kExitMessage = 1;  // ended after one of the run's messages
inline constexpr int kExitFailure = 2;  // ended on an unexpected failure

/// Runs the program once; returns the exit status.
int Main();
