// Process-wide start-up values and flags. The start-up code writes them on
// the main thread before the first window exists; every other folder only
// reads them afterwards, so they need no lock.
#pragma once

#include <string>

namespace zeph {

struct InstallSettings {
    bool silent = false;
    int source = 0;       // 1 and 3 select the partner flow
    int scene = 0;
    int sysDoctorId = 0;
    std::u16string workFolder;  // always ends in a backslash once chosen
    std::u16string recommendPopChickText;
    std::u16string softId;      // digits after "_sm" in the installer's file name
};

// Three process flags, each written before its readers run.
struct ProcessFlags {
    bool evadeArea = false;
    bool delayedDownload = false;
    bool optimizeFlag = false;
};

InstallSettings& Settings();
ProcessFlags& Flags();

}  // namespace zeph
