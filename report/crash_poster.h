// The second half of the crash path: a fresh process that posts the record
// a crashed process left in a file.
#pragma once

namespace zeph {

// argv: program, kPostCrashRecordSwitch, record file (host path), URL.
inline constexpr char kPostCrashRecordSwitch[] = "--zeph-post-crash-record";

// Called first thing in main. When argv[1] is the switch: posts the record
// file (only a whole crash record is posted) to the URL, deletes the file
// and returns the exit code: 0 when the endpoint accepted the record, 1
// when it did not, 2 for a missing or malformed file or missing arguments.
// Otherwise returns -1 at once and main goes on.
int RunCrashRecordPoster(int argc, char** argv);

}  // namespace zeph
