// Notations, style classes, font codes and the base face, and the drawing
// of element text and backgrounds by state, probed on renders.
#include "tests/ui/ui_fixture.h"
#include "ui/bk_controls.h"

namespace zeph::ui {
namespace {

using platform::Bitmap;
using platform::MakeColorref;
using platform::Rect;
using test::UiTest;

TEST(Notation, Colours) {
    struct Case {
        const char* text;
        Colorref expected;
    };
    const Case cases[] = {
        {"FF0000", MakeColorref(255, 0, 0)},        {"00ff80", MakeColorref(0, 255, 128)},
        {"129cff", MakeColorref(0x12, 0x9C, 0xFF)}, {"GG00FF", MakeColorref(0, 0, 255)},
        {"12x4AB", MakeColorref(0x12, 0, 0xAB)},    {"", kNoColor},
        {"FFF", MakeColorref(255, 0, 0)},           {"0000FF99", MakeColorref(0, 0, 255)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseColor(c.text), c.expected) << c.text;
    }
}

TEST(Notation, HexadecimalAndIntegers) {
    struct Case {
        const char* text;
        std::uint32_t expected;
    };
    for (const Case& c : {Case{"8028", 0x8028}, Case{"e400", 0xE400}, Case{"E400", 0xE400},
                          Case{"", 0}, Case{"28 ", 0}, Case{"0x28", 0}, Case{"-1", 0}}) {
        EXPECT_EQ(ParseHex(c.text), c.expected) << c.text;
    }
    EXPECT_EQ(ParseInt("42px"), 42);
    EXPECT_EQ(ParseInt("full"), 0);
    EXPECT_EQ(ParseInt(" -7"), -7);
}

TEST(FontCodes, HeightsWeightsAndStyles) {
    BkFontPool& pool = BkFontPool::Instance();
    pool.Reset(u"SimSun");
    BkDpi::SetFactor(std::nullopt);
    struct Case {
        std::uint16_t code;
        int height;
        int weight;
        bool italic;
        bool underline;
    };
    const Case cases[] = {
        {0x0000, -12, 400, false, false}, {0x0100, -13, 400, false, false},
        {0x0200, -14, 400, false, false}, {0x0404, -16, 700, false, false},
        {0x0F00, -27, 400, false, false}, {0x1000, -28, 400, false, false},
        {0x0006, -12, 700, false, true},  {0x0001, -12, 400, true, false},
        {0xE400, 16, 400, false, false},  {0xFF00, -11, 400, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const platform::FontDesc d = pool.DescForCode(c.code, false);
        EXPECT_EQ(d.height, c.height);
        EXPECT_EQ(d.weight, c.weight);
        EXPECT_EQ(d.italic, c.italic);
        EXPECT_EQ(d.underline, c.underline);
        EXPECT_EQ(d.face, u"SimSun");
        auto font = pool.GetFont(c.code, false);
        ASSERT_TRUE(font);
        EXPECT_EQ(pool.GetFont(c.code, false), font);  // made once
    }
    // "0100" is 13 pixels; "e400" is a 16-pixel cell.
    EXPECT_DOUBLE_EQ(pool.GetFont(0x0100, false)->PixelSize(), 13);
    EXPECT_NEAR(pool.GetFont(0xE400, false)->GetMetrics().height, 16, 1);
}

TEST(FontCodes, DpiScaledHeightsTruncateAndHaveTheirOwnKey) {
    BkFontPool& pool = BkFontPool::Instance();
    pool.Reset(u"SimSun");
    BkDpi::SetFactor(1.25);
    EXPECT_EQ(pool.DescForCode(0x0100, true).height, -16);  // -16.25
    EXPECT_EQ(pool.DescForCode(0x0100, false).height, -13);
    EXPECT_NE(pool.GetFont(0x0100, true), pool.GetFont(0x0100, false));
    EXPECT_EQ(pool.BaseHeight(true), -15);
    BkDpi::SetFactor(std::nullopt);
    pool.Reset(u"SimSun");
}

TEST(FontCodes, BaseFaceComesFromTheInstalledFontNames) {
    struct Case {
        std::vector<std::u16string> names;
        const char16_t* face;
    };
    const Case cases[] = {
        {{u"Arial (TrueType)", u"微软雅黑 (TrueType)"}, u"微软雅黑"},
        {{u"Microsoft YaHei & Microsoft YaHei UI (TrueType)"}, u"Microsoft YaHei"},
        {{u"Microsoft YaHei (TrueType) & Microsoft YaHei UI (TrueType)"}, u"Microsoft YaHei"},
        {{u"SimSun & NSimSun (TrueType)", u"Microsoft YaHei (TrueType)"}, u"Microsoft YaHei"},
        {{u"宋体 & 新宋体 (TrueType)", u"SimSun & NSimSun (TrueType)"}, u"宋体"},
        {{u"SimSun & NSimSun (TrueType)"}, u"SimSun"},
        {{u"microsoft yahei (truetype)"}, u"宋体"},
        {{}, u"宋体"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseBaseFace(c.names), c.face);
    }
    BkFontPool& pool = BkFontPool::Instance();
    pool.Reset(u"Microsoft YaHei");
    EXPECT_EQ(pool.BaseDesc().quality, 5);
    pool.Reset(u"SimSun");
    EXPECT_EQ(pool.BaseDesc().quality, 4);
}

TEST(StyleClass, DefaultsAndAttributes) {
    BkStyle s;
    EXPECT_EQ(s.crDisabled, MakeColorref(0xCC, 0xCC, 0xCC));
    EXPECT_EQ(s.crShadow, MakeColorref(1, 1, 1));
    EXPECT_EQ(s.textMode, 0x28u);
    EXPECT_EQ(s.lineSpacing, 20);
    EXPECT_EQ(s.alphaBg, 255);
    EXPECT_EQ(s.alphaText, 254);
    EXPECT_EQ(s.cursor, platform::CursorId::Arrow);
    struct Case {
        const char* name;
        const char* value;
        AttrResult result;
    };
    const Case cases[] = {
        {"crhover", "129cff", AttrResult::Repaint}, {"cursor", "hand", AttrResult::Repaint},
        {"cursor", "pointer", AttrResult::Unknown}, {"textmode", "18028", AttrResult::Layout},
        {"margin", "7", AttrResult::Layout},        {"y-margin", "3", AttrResult::Layout},
        {"font", "0204", AttrResult::Layout},       {"nonsense", "1", AttrResult::Unknown},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(s.SetAttribute(c.name, c.value, true), c.result) << c.name;
    }
    EXPECT_EQ(s.cursor, platform::CursorId::Hand);  // the rejected word changed nothing
    EXPECT_EQ(s.textMode, 0x8028u);                 // 0x10000 never stays
    EXPECT_EQ(s.xMargin, 7);
    EXPECT_EQ(s.yMargin, 3);
    EXPECT_EQ(s.font, 0x0204);
}

// A pixel that is clearly coloured (not the white background, not grey).
bool HasColouredInk(const Bitmap& b, const Rect& r, bool (*match)(std::uint32_t)) {
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            if (match(b.Pixel(x, y))) {
                return true;
            }
        }
    }
    return false;
}
bool Bluish(std::uint32_t p) {
    return (p & 0xFF) > 200 && ((p >> 16) & 0xFF) < 80;
}
bool Greyish(std::uint32_t p) {
    const int r = (p >> 16) & 0xFF;
    const int b = p & 0xFF;
    return r < 200 && std::abs(r - b) < 10;
}
bool Reddish(std::uint32_t p) {
    return ((p >> 16) & 0xFF) > 200 && (p & 0xFF) < 80 && ((p >> 8) & 0xFF) < 80;
}

class TextDrawing : public UiTest {
  protected:
    Bitmap Draw(const std::string& body, std::uint32_t addState = 0, int w = 200, int h = 40) {
        view = std::make_unique<CBkViewImpl>(HostKind::ViewEx);
        EXPECT_TRUE(view->LoadLayoutText(Layer("<body>" + body + "</body>")));
        view->LayoutPanels({0, 0, w, h});
        if (CBkWindow* e = view->FindElementById(1)) {
            e->ModifyState(addState, 0);
        }
        return Render(*view, w, h);
    }
    std::unique_ptr<CBkViewImpl> view;
};

TEST_F(TextDrawing, StateColoursAndTheDisabledColour) {
    Styles("<class name=\"link\" crtext=\"9b9b9b\" crhover=\"129cff\" crdisabled=\"FF0000\"/>");
    const std::string markup =
        "<link id=\"1\" class=\"link\" pos=\"0,0,-0,-0\">Some link text</link>";
    const Rect all{0, 0, 200, 40};
    struct Case {
        std::uint32_t state;
        bool (*ink)(std::uint32_t);
    };
    for (const Case& c : {Case{0, Greyish}, Case{kStateHover, Bluish},
                          Case{kStateDisabled | kStateHover, Reddish}}) {
        SCOPED_TRACE(c.state);
        EXPECT_TRUE(HasColouredInk(Draw(markup, c.state), all, c.ink));
    }
    EXPECT_FALSE(HasColouredInk(Draw(markup, 0), all, Bluish));
    // Disabling a container disables the text inside it.
    const Bitmap nested =
        Draw("<dlg id=\"1\" pos=\"0,0,-0,-0\">" + markup + "</dlg>", kStateDisabled);
    EXPECT_TRUE(HasColouredInk(nested, all, Reddish));
}

TEST_F(TextDrawing, ChildrenTakeTheContainersTextColourWhenTheyHaveNone) {
    Styles("<class name=\"box\" crtext=\"0000FF\"/>");
    const Bitmap b = Draw(
        "<dlg id=\"1\" class=\"box\" pos=\"0,0,-0,-0\"><text "
        "pos=\"0,0,-0,-0\">Inherited</text></dlg>");
    EXPECT_TRUE(HasColouredInk(b, {0, 0, 200, 40}, Bluish));
}

TEST_F(TextDrawing, UndefinedClassDrawsBottomAlignedSingleLine) {
    // Text mode 0x28: one line at the bottom of the rectangle.
    const Bitmap b =
        Draw("<text id=\"1\" class=\"undefined\" pos=\"0,0,-0,-0\">Bottom line of text</text>");
    bool top = false;
    bool bottom = false;
    for (int x = 0; x < 200; ++x) {
        for (int y = 0; y < 15; ++y) {
            top = top || b.Pixel(x, y) != test::kWhite;
        }
        for (int y = 25; y < 40; ++y) {
            bottom = bottom || b.Pixel(x, y) != test::kWhite;
        }
    }
    EXPECT_FALSE(top);
    EXPECT_TRUE(bottom);
}

TEST_F(TextDrawing, EllipsisKeepsALongLineInsideOnBothTextPaths) {
    const std::string text(80, 'W');
    for (const char* gdiplus : {"0", "1"}) {
        SCOPED_TRACE(gdiplus);
        BkStylePool::Instance().Reset();
        Styles(std::string("<class name=\"end\" textmode=\"8028\" gdiplus=\"") + gdiplus + "\"/>");
        const Bitmap b =
            Draw("<text id=\"1\" class=\"end\" pos=\"10,0,110,-0\">" + text + "</text>");
        bool outside = false;
        bool inside = false;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 200; ++x) {
                const bool ink = b.Pixel(x, y) != test::kWhite;
                (x < 10 || x >= 110 ? outside : inside) |= ink;
            }
        }
        EXPECT_TRUE(inside);
        EXPECT_FALSE(outside);
    }
}

TEST_F(TextDrawing, YaHeiCorrectionMovesBottomTextUp) {
    // The lowest row with ink, with and without the correction.
    auto lowestInk = [&](const char* disable) {
        BkStylePool::Instance().Reset();
        Styles(std::string("<class name=\"c\" yhresizedisable=\"") + disable + "\"/>");
        const Bitmap b = Draw("<text id=\"1\" class=\"c\" pos=\"0,0,-0,-0\">Ag</text>");
        int lowest = -1;
        for (int y = 0; y < b.Height(); ++y) {
            for (int x = 0; x < b.Width(); ++x) {
                if (b.Pixel(x, y) != test::kWhite) {
                    lowest = y;
                }
            }
        }
        return lowest;
    };
    BkFontPool::Instance().Reset(u"Microsoft YaHei");
    const int corrected = lowestInk("0");
    const int plain = lowestInk("1");
    ASSERT_GE(plain, 0);
    // Base font: c = 0, the rectangle moves up 2 pixels.
    EXPECT_EQ(plain - corrected, 2);
}

TEST_F(TextDrawing, TextModeIsTakenAtTheFirstPaintUnlessForced) {
    Styles("<class name=\"top\" textmode=\"20\"/><class name=\"bottom\" textmode=\"28\"/>");
    for (const char* force : {"0", "1"}) {
        SCOPED_TRACE(force);
        Draw(std::string("<text id=\"1\" class=\"top\" forceupdatestyle=\"") + force +
             "\" pos=\"0,0,-0,-0\">Moves</text>");
        view->SetElementAttribute(1, "class", "bottom");
        Bitmap b(200, 40);
        b.Clear(test::kWhite);
        view->InvalidateAll();
        Repaint(*view, b);
        bool top = false;
        for (int y = 0; y < 15; ++y) {
            for (int x = 0; x < 200; ++x) {
                top = top || b.Pixel(x, y) != test::kWhite;
            }
        }
        EXPECT_EQ(top, std::string_view(force) == "0");
    }
}

TEST_F(TextDrawing, BackgroundsByColourHoverAndOpacity) {
    Styles(
        "<class name=\"bg\" crbg=\"FF0000\" crbghover=\"0000FF\"/>"
        "<class name=\"soft\" crbg=\"0000FF\" bggdiplus=\"1\" alphabg=\"128\"/>");
    struct Case {
        const char* markup;
        std::uint32_t state;
        std::uint32_t pixel;
    };
    const Case cases[] = {
        {"<text id=\"1\" class=\"bg\" pos=\"0,0,-0,-0\"/>", 0, test::kRed},
        {"<text id=\"1\" class=\"bg\" pos=\"0,0,-0,-0\"/>", kStateHover, test::kBlue},
        // The element's own colour replaces the class's, hover still wins.
        {"<text id=\"1\" class=\"bg\" crbg=\"00FF00\" pos=\"0,0,-0,-0\"/>", 0, test::kGreen},
        {"<text id=\"1\" class=\"bg\" crbg=\"00FF00\" pos=\"0,0,-0,-0\"/>", kStateHover,
         test::kBlue},
        {"<text id=\"1\" class=\"soft\" pos=\"0,0,-0,-0\"/>", 0, 0xFF7F7FFF},
        {"<text id=\"1\" pos=\"0,0,-0,-0\"/>", 0, test::kWhite},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.markup);
        const std::uint32_t p = Draw(c.markup, c.state).Pixel(100, 20);
        for (int shift : {0, 8, 16, 24}) {
            EXPECT_NEAR(static_cast<int>((p >> shift) & 0xFF),
                        static_cast<int>((c.pixel >> shift) & 0xFF), 1);
        }
    }
    const Bitmap framed = Draw("<text id=\"1\" border=\"1\" pos=\"10,10,50,30\"/>");
    EXPECT_EQ(framed.Pixel(10, 10), 0xFF000000u);
    EXPECT_EQ(framed.Pixel(30, 20), test::kWhite);
}

}  // namespace
}  // namespace zeph::ui

namespace zeph::ui {
namespace {

class BaseFace : public test::UiTest {};

TEST_F(BaseFace, ComesFromTheProfilesFontsKey) {
    BkFontPool& pool = BkFontPool::Instance();
    pool.Reset();
    EXPECT_EQ(pool.BaseFace(), u"Microsoft YaHei");
    EXPECT_EQ(pool.BaseDesc().quality, 5);
    profile.ImportRegistry(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\n"
        "\"Microsoft YaHei & Microsoft YaHei UI (TrueType)\"=-\n");
    pool.Reset();
    EXPECT_EQ(pool.BaseFace(), u"SimSun");
    EXPECT_EQ(pool.BaseDesc().quality, 4);
}

}  // namespace
}  // namespace zeph::ui
