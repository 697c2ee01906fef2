// URL rewriting by the installed suite's component (net/quillet.h describes
// it). The small requests pass their URL through RewriteUrl; the component is
// looked for once per process, in the program folder that the suite records
// as "ProgramPath" under HKLM "software\tarnwell\antivirus" (32-bit view).
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace zeph::net {

// One loaded component. Any thread may call Rewrite.
class UrlRewriter {
public:
    // Loads "quillet.dll" from `programFolder` and initialises it; null when
    // it is missing or refuses (nothing stays loaded then).
    static std::unique_ptr<UrlRewriter> Load(std::u16string_view programFolder);
    ~UrlRewriter();
    UrlRewriter(const UrlRewriter&) = delete;
    UrlRewriter& operator=(const UrlRewriter&) = delete;

    // The component's URL, or `url` when it leaves the URL alone.
    std::u16string Rewrite(std::u16string_view url) const;

    struct State;

private:
    explicit UrlRewriter(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

// The suite's program folder with a trailing backslash, or "" when the suite
// records none.
std::u16string SuiteProgramFolder();

// `url` as the process's component rewrites it. The first call looks for the
// component; without one every URL stays as it is.
std::u16string RewriteUrl(std::u16string_view url);

namespace testing {
// Forgets the process's component so that the next RewriteUrl looks again.
void ResetUrlRewriter();
}  // namespace testing

}  // namespace zeph::net
