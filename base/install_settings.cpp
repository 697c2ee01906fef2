#include "base/install_settings.h"

namespace zeph {

InstallSettings& Settings() {
    static InstallSettings settings;
    return settings;
}

ProcessFlags& Flags() {
    static ProcessFlags flags;
    return flags;
}

}  // namespace zeph
