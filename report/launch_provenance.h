// The launch-provenance probe: which programs started the installer, read
// from the chain of parent processes in a process snapshot. Its six texts
// fill the launch-provenance report:
//
//   1 parent             executable name of the parent process
//   2 grandparent        executable name of the parent's parent
//   3 great_grandparent  one step further up
//   4 parent_folder      folder of the parent's executable (Windows form)
//   5 chain_depth        number of ancestors found, in decimal
//   6 launch_kind        "browser", "desktop", "terminal", "orphan" or "other"
//
// A text the chain does not reach is empty. The launch kind is that of the
// nearest ancestor that is a known web browser ("browser"), file manager or
// desktop shell ("desktop") or command shell ("terminal"); "orphan" when the
// parent is gone or is the init process; "other" otherwise.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/process.h"

namespace zeph {

using LaunchProvenanceTexts = std::array<std::u16string, 6>;

// The chain is followed at most kMaxChainDepth steps and never loops.
inline constexpr size_t kMaxChainDepth = 64;

LaunchProvenanceTexts ProbeLaunchProvenance(const std::vector<platform::ProcessEntry>& snapshot,
                                            uint32_t selfPid);
// This process, from a fresh snapshot.
LaunchProvenanceTexts ProbeLaunchProvenance();

}  // namespace zeph
