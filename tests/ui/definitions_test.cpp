// Finding resources (program file first, then the folder), merging
// definition documents (first definition wins), the string table and
// string references, and the program's own embedded definitions.
#include "tests/ui/ui_fixture.h"
#include "ui/program_resources.h"

namespace zeph::ui {
namespace {

using test::TempDir;
using test::UiTest;

// Program-file resources only these tests use.
const std::string kProgramStrings =
    "<string><s id=\"1\">program one</s><s id=\"2\">program two</s></string>";
const std::string kProgramSkins =
    "<skins><png name=\"shared\" src=\"101\" subwidth=\"32\"/></skins>";
const std::string kProgramStyles = "<style><class name=\"shared\" crtext=\"FF0000\"/></style>";
const std::string kProgramLayout = "<layer title=\"program\"/>";

void RegisterTestResources() {
    static const bool done = [] {
        static const ProgramResource table[] = {
            {"XML", 9002, reinterpret_cast<const std::uint8_t*>(kProgramStrings.data()),
             kProgramStrings.size()},
            {"XML", 9000, reinterpret_cast<const std::uint8_t*>(kProgramSkins.data()),
             kProgramSkins.size()},
            {"XML", 9001, reinterpret_cast<const std::uint8_t*>(kProgramStyles.data()),
             kProgramStyles.size()},
            {"XML", 9011, reinterpret_cast<const std::uint8_t*>(kProgramLayout.data()),
             kProgramLayout.size()},
        };
        RegisterProgramResources(table);
        return true;
    }();
    (void)done;
}

class Definitions : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterTestResources();
        ResourceLocator::Instance().SetFolder(test::WinFolder(folder.Path()));
    }
    TempDir folder;
};

TEST_F(Definitions, LookupTakesTheProgramFileFirstAndSkipsEmptyFiles) {
    folder.Write("9011.xml", "<layer title=\"folder\"/>");
    folder.Write("9012.xml", "<layer title=\"folder only\"/>");
    folder.Write("9013.xml", "");
    ResourceLocator& locator = ResourceLocator::Instance();
    EXPECT_EQ(locator.FindOne("xml", 9011), kProgramLayout);
    EXPECT_EQ(locator.FindOne("XML", 9012), "<layer title=\"folder only\"/>");
    EXPECT_FALSE(locator.FindOne("xml", 9013));
    EXPECT_FALSE(locator.FindOne("xml", 9014));
    EXPECT_EQ(locator.FindAll("xml", 9011).size(), 2u);
    EXPECT_EQ(locator.FindAll("xml", 9011)[0], kProgramLayout);
    // Without a folder only the program file counts.
    locator.SetFolder(u"");
    EXPECT_FALSE(locator.FindOne("xml", 9012));
}

TEST_F(Definitions, FirstDefinitionWinsAcrossTheMergedDocuments) {
    for (const char* picture : {"101.png", "102.png", "103.png"}) {
        folder.Write(picture, test::ReadFile(test::DataDir() / "ui" / "res" / picture));
    }
    folder.Write(
        "9002.xml",
        "<string><s id=\"2\">folder two</s><s id=\"3\">folder three</s><s>no id</s></string>");
    folder.Write("9000.xml",
                 "<skins><png name=\"shared\" src=\"102\"/><png name=\"folder\" src=\"103\"/>"
                 "<unknownkind name=\"odd\"/><png src=\"1\"/></skins>");
    folder.Write(
        "9001.xml",
        "<style><class name=\"shared\" crtext=\"00FF00\"/><class name=\"twice\" crtext=\"0000FF\"/>"
        "<class name=\"twice\" crtext=\"FFFFFF\"/><class crtext=\"123456\"/></style>");
    ResourceLocator& locator = ResourceLocator::Instance();
    ASSERT_TRUE(locator.LoadStrings(9002));
    ASSERT_TRUE(locator.LoadSkins(9000));
    ASSERT_TRUE(locator.LoadStyles(9001));

    const BkString& strings = BkString::Instance();
    EXPECT_EQ(strings.GetString(1), u"program one");
    EXPECT_EQ(strings.GetString(2), u"program two");
    EXPECT_EQ(strings.GetString(3), u"folder three");
    EXPECT_EQ(strings.Size(), 3u);

    EXPECT_EQ(GetSkinSize(GetSkin("shared")), (platform::Size{32, 32}));
    EXPECT_EQ(GetSkinSize(GetSkin("folder")), (platform::Size{20, 10}));
    EXPECT_EQ(GetSkin("odd"), nullptr);
    EXPECT_EQ(BkSkinPool::Instance().Size(), 2u);

    const BkStylePool& styles = BkStylePool::Instance();
    EXPECT_EQ(styles.FindStyle("shared").crText, platform::MakeColorref(255, 0, 0));
    EXPECT_EQ(styles.FindStyle("twice").crText, platform::MakeColorref(0, 0, 255));
    // An undefined name answers with the default class.
    EXPECT_EQ(styles.FindStyle("nobody").crText, kNoColor);
    EXPECT_EQ(styles.FindStyle("nobody").textMode, 0x28u);
}

TEST_F(Definitions, LoadingEmptiesFirstAndReportsOnlyMissingDocuments) {
    ResourceLocator& locator = ResourceLocator::Instance();
    ASSERT_TRUE(locator.LoadStrings(9002));
    folder.Write("9102.xml", "<string><s id=\"4\">four</s>");  // does not parse
    EXPECT_TRUE(locator.LoadStrings(9102));
    EXPECT_EQ(BkString::Instance().Size(), 0u);
    EXPECT_FALSE(locator.LoadStrings(9103));
    EXPECT_FALSE(locator.LoadSkins(9103));
    EXPECT_FALSE(locator.LoadStyles(9103));
    // A broken document does not stop the others.
    folder.Write("9001.xml", "<style><class name=");
    EXPECT_TRUE(locator.LoadStyles(9001));
    EXPECT_TRUE(BkStylePool::Instance().Has("shared"));
    // A wrong root counts as not loaded.
    folder.Write("9104.xml", "<skins><png name=\"x\" src=\"1\"/></skins>");
    EXPECT_TRUE(locator.LoadStyles(9104));
    EXPECT_FALSE(BkStylePool::Instance().Has("x"));
}

TEST_F(Definitions, SwitchingTheFolderEmptiesTheImageCaches) {
    TempDir other;
    const std::string red = test::ReadFile(test::DataDir() / "ui" / "res" / "101.png");
    const std::string green = test::ReadFile(test::DataDir() / "ui" / "res" / "104.png");
    folder.Write("700.png", red);
    other.Write("700.png", green);
    auto first = BkPngPool::Instance().Get(700);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Width(), 96);
    ResourceLocator::Instance().SetFolder(
        test::WinFolder(folder.Path()));  // the same folder keeps them
    EXPECT_EQ(BkPngPool::Instance().Get(700), first);
    ResourceLocator::Instance().SetFolder(test::WinFolder(other.Path()));
    auto second = BkPngPool::Instance().Get(700);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Width(), 48);
}

TEST_F(Definitions, StringReferences) {
    BkString::Instance().LoadDocument(
        "<string><s id=\"0\">face</s><s id=\"7\">SEVEN</s><s id=\"8\"></s>"
        "<s id=\"9\">loop %str9% again</s><s id=\"-1\">negative</s></string>");
    struct Case {
        const char16_t* text;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"prefix %str7% suffix", u"prefix SEVEN suffix"},
        {u"%str7%%str7%", u"SEVENSEVEN"},
        // An empty string between two references takes none of them along.
        {u"%str8%%str7%", u"SEVEN"},
        {u"a %str0% b %str7%", u"a %str0% b %str7%"},
        {u"unknown %str12345% id", u"unknown  id"},
        {u"no close %str7 here", u"no close %str7 here"},
        {u"not a number %strX% %str7%", u"not a number %strX% %str7%"},
        {u"%str-3% %str7%", u"%str-3% %str7%"},
        // A string that holds a reference is not expanded again.
        {u"<%str9%>", u"<loop %str9% again>"},
        {u"%str99999999999999999999% end", u" end"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReplaceStringReferences(c.text, BkString::Instance()), c.expected)
            << Utf16ToUtf8(c.text);
    }
    EXPECT_FALSE(BkString::Instance().GetString(-1));
}

TEST_F(Definitions, ElementTextGetsItsReferencesReplacedAtLoad) {
    BkString::Instance().LoadDocument("<string><s id=\"7\">七</s></string>");
    CBkViewImpl view(HostKind::ViewEx);
    ASSERT_TRUE(view.LoadLayoutText(Layer("<body><text id=\"1\">前%str7%后</text></body>")));
    EXPECT_EQ(view.FindElementById(1)->Text(), u"前七后");
}

TEST_F(Definitions, TheProgramsOwnDefinitionsAreEmbedded) {
    ResourceLocator& locator = ResourceLocator::Instance();
    locator.SetFolder(u"");
    for (int number : {10000, 10001, 10002}) {
        EXPECT_TRUE(FindProgramResource("XML", number)) << number;
    }
    ASSERT_TRUE(locator.LoadStrings(10002));
    ASSERT_TRUE(locator.LoadSkins(10000));
    ASSERT_TRUE(locator.LoadStyles(10001));
    EXPECT_EQ(BkString::Instance().GetString(0), u"微软雅黑");
    EXPECT_EQ(GetSkinSize(GetSkin("minimize")), (platform::Size{32, 32}));
    EXPECT_EQ(GetSkinSize(GetSkin("fast_install_btn")), (platform::Size{140, 36}));
    EXPECT_FALSE(IgnoresState(GetSkin("close")));
    // The banners come only with a resource folder.
    EXPECT_EQ(GetSkinSize(GetSkin("mainbg_banner0")), (platform::Size{}));
    EXPECT_TRUE(BkStylePool::Instance().Has("new_msg_text_end"));
}

TEST_F(Definitions, ProgramPicturesWinOverFolderFilesOfTheSameNumber) {
    ResourceLocator& locator = ResourceLocator::Instance();
    const std::string big = test::ReadFile(test::DataDir() / "ui" / "res" / "104.png");
    folder.Write("1.png", big);
    folder.Write("51.png", big);
    ASSERT_TRUE(locator.LoadSkins(10000));
    EXPECT_EQ(GetSkinSize(GetSkin("close")), (platform::Size{32, 32}));
    EXPECT_EQ(GetSkinSize(GetSkin("mainbg_banner0")), (platform::Size{48, 48}));
}

}  // namespace
}  // namespace zeph::ui
