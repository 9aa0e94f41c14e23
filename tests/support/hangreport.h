#pragma once

// When ORVESSA_HANG_REPORT_SECONDS is set, a test process still running after that many
// seconds prints the stacks of all its threads (through gdb, when it is installed) and
// aborts, so that a test stuck inside a library leaves more behind than a timeout.
void startHangReport();
