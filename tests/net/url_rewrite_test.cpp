#include "net/url_rewrite.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "net/http_request.h"
#include "tests/net/net_test_util.h"
#include "tests/support/loopback_server.h"

namespace zeph::net {
namespace {

using platform::Hive;
using platform::RegView;
using test::ScopedProfile;

// Installs the test component as the suite's into the profile and records
// the program folder in the registry.
std::u16string InstallComponent(const ScopedProfile& profile) {
    std::filesystem::create_directories(profile.Host("Zeph"));
    std::filesystem::copy_file(ZEPH_TEST_QUILLET, profile.Host("Zeph/quillet.dll"));
    const std::u16string folder = profile.Win("Zeph");  // no trailing backslash
    platform::RegKey key =
        ScopedProfile::Key(Hive::LocalMachine, u"software\\tarnwell\\antivirus", RegView::Wow64_32);
    key.SetString(u"ProgramPath", folder);
    return folder;
}

TEST(UrlRewriter, TheComponentRewritesAndLearnsItsFolders) {
    ScopedProfile profile;
    const std::u16string folder = InstallComponent(profile);
    auto rewriter = UrlRewriter::Load(folder);
    ASSERT_NE(rewriter, nullptr);
    EXPECT_EQ(rewriter->Rewrite(u"http://h/before/x?a=1"), u"http://h/after/x?a=1");
    EXPECT_EQ(rewriter->Rewrite(u"http://h/other"), u"http://h/other");
    EXPECT_EQ(rewriter->Rewrite(u"quillet:program"), folder + u"\\");
    EXPECT_EQ(rewriter->Rewrite(u"quillet:data"), folder + u"\\data");
}

TEST(UrlRewriter, NoComponentOrARefusalLeavesNone) {
    ScopedProfile profile;
    EXPECT_EQ(UrlRewriter::Load(profile.Win("")), nullptr);
    const std::u16string folder = InstallComponent(profile);
    ::setenv("QUILLET_REFUSE", "1", 1);
    EXPECT_EQ(UrlRewriter::Load(folder), nullptr);
    ::unsetenv("QUILLET_REFUSE");
    // Not a shared object at all.
    std::ofstream(profile.Host("Zeph/quillet.dll"), std::ios::trunc) << "MZ not for this system";
    EXPECT_EQ(UrlRewriter::Load(folder), nullptr);
}

TEST(UrlRewriter, SmallRequestsGoWhereTheComponentSends) {
    ScopedProfile profile;
    InstallComponent(profile);
    testing::ResetUrlRewriter();
    test::LoopbackServer server;
    server.ServeBytes("/after/doc", "rewritten");
    server.Handle("/after/c/",
                  [](const test::SeenRequest&) { return test::Reply{.body = "posted"}; });
    std::string body;
    EXPECT_EQ(HttpGet(U16(server.Url("/before/doc")), body), 0);
    EXPECT_EQ(body, "rewritten");
    EXPECT_EQ(HttpPost(U16(server.Url("/before/c/")), "r", 1, body), 0);
    EXPECT_EQ(body, "posted");
    EXPECT_EQ(server.Count("/before/doc"), 0u);
    testing::ResetUrlRewriter();
}

TEST(UrlRewriter, WithoutTheSuiteUrlsStay) {
    ScopedProfile profile;
    testing::ResetUrlRewriter();
    EXPECT_EQ(SuiteProgramFolder(), u"");
    EXPECT_EQ(RewriteUrl(u"http://h/before/x"), u"http://h/before/x");
    testing::ResetUrlRewriter();
}

}  // namespace
}  // namespace zeph::net
