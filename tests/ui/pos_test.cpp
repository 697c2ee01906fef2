// The position grammar, placement inside containers, size modes and
// content sizes.
#include "tests/ui/ui_fixture.h"
#include "ui/bk_controls.h"
#include "ui/bk_pos.h"

namespace zeph::ui {
namespace {

using platform::Rect;
using test::UiTest;

TEST(PosGrammar, ItemsPrefixesAndCounts) {
    struct Case {
        const char* text;
        int count;
        BkPosItem items[4];
    };
    const Case cases[] = {
        {"10,7,80,23",
         4,
         {{false, false, 10}, {false, false, 7}, {false, false, 80}, {false, false, 23}}},
        {"-60,0", 2, {{false, true, 60}, {false, false, 0}}},
        {"|-40,0,|40,30",
         4,
         {{true, true, 40}, {false, false, 0}, {true, false, 40}, {false, false, 30}}},
        {"5,5,w20,h10",
         4,
         {{false, false, 5}, {false, false, 5}, {false, false, 25}, {false, false, 15}}},
        // "w" and "h" count only on the right and bottom items.
        {"w5,h5,3,4",
         4,
         {{false, false, 5}, {false, false, 5}, {false, false, 3}, {false, false, 4}}},
        {"-0,-0", 2, {{false, true, 0}, {false, true, 0}}},
        {"x,y", 2, {}},
        {"1,2,3,4,5",
         4,
         {{false, false, 1}, {false, false, 2}, {false, false, 3}, {false, false, 4}}},
        {"1,2,", 2, {{false, false, 1}, {false, false, 2}}},
        {"1,2,3", 0, {}},
        {"7", 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const BkPos pos = ParsePos(c.text);
        ASSERT_EQ(pos.count, c.count);
        for (int i = 0; i < c.count; ++i) {
            EXPECT_EQ(pos.item[i], c.items[i]) << "item " << i;
        }
    }
}

TEST(PosGrammar, ValuesAreScaledButNotFlags) {
    const BkPos pos = ParsePos("|-10,4,w10,-2", [](int v) { return v * 2; });
    EXPECT_EQ(pos.item[0], (BkPosItem{true, true, 20}));
    EXPECT_EQ(pos.item[2], (BkPosItem{false, false, 40}));
    EXPECT_EQ(pos.item[3], (BkPosItem{false, true, 4}));
}

class Placement : public UiTest {
  protected:
    // A 458 x 314 container at (0, 0) holding one child made from markup.
    Rect Place(const std::string& childMarkup, const std::string& containerClass = "") {
        view = std::make_unique<CBkViewImpl>(HostKind::ViewEx);
        const std::string cls = containerClass.empty() ? "" : " class=\"" + containerClass + "\"";
        EXPECT_TRUE(view->LoadLayoutText(Layer("<body><dlg id=\"1\" pos=\"0,0,-0,-0\"" + cls + ">" +
                                               childMarkup + "</dlg></body>")));
        view->LayoutPanels({0, 0, 458, 314});
        CBkWindow* child = view->FindElementById(2);
        EXPECT_NE(child, nullptr);
        return child != nullptr ? child->GetRect() : Rect{};
    }
    std::unique_ptr<CBkViewImpl> view;
};

TEST_F(Placement, PositionsInA458By314Container) {
    struct Case {
        const char* pos;
        Rect expected;
    };
    const Case cases[] = {
        {"-92,64,-10,80", {366, 64, 448, 80}},
        {"0,0,-0,-0", {0, 0, 458, 314}},
        {"0,0,-0,0", {0, 0, 458, 0}},
        {"0,224,-0,-0", {0, 224, 458, 314}},
        {"20,43,-20,46", {20, 43, 438, 46}},
        {"|-40,0,|40,30", {189, 0, 269, 30}},
        {"5,5,w20,h10", {5, 5, 25, 15}},
        {"10,7,80,23", {10, 7, 80, 23}},
        // Two values: placed, sized by content (nothing here).
        {"|0,0", {229, 0, 229, 0}},
        {"-60,|-7", {398, 150, 398, 150}},
        // No position: the container's origin with the content size.
        {"1,2,3", {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pos);
        EXPECT_EQ(Place(std::string("<text id=\"2\" pos=\"") + c.pos + "\"/>"), c.expected);
    }
}

TEST_F(Placement, ContainerMarginsShrinkTheBox) {
    Styles("<class name=\"padded\" x-margin=\"10\" y-margin=\"4\"/>");
    EXPECT_EQ(Place("<text id=\"2\" pos=\"0,0,-0,-0\"/>", "padded"), (Rect{10, 4, 448, 310}));
    EXPECT_EQ(Place("<text id=\"2\" pos=\"-5,-5\"/>", "padded"), (Rect{443, 305, 443, 305}));
}

TEST_F(Placement, SizeModesWithoutPosition) {
    struct Case {
        const char* attributes;
        Rect expected;
    };
    const Case cases[] = {
        {"width=\"full\"", {0, 0, 458, 0}},
        {"width=\"full\" height=\"full\"", {0, 0, 458, 314}},
        {"width=\"120\" height=\"30\"", {0, 0, 120, 30}},
        {"width=\"-5\" height=\"abc\"", {0, 0, 0, 0}},
        // A position makes width and height no matter.
        {"pos=\"10,10,20,20\" width=\"full\"", {10, 10, 20, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        EXPECT_EQ(Place(std::string("<dlg id=\"2\" ") + c.attributes + "/>"), c.expected);
    }
}

TEST_F(Placement, TextSizedByContentPlusMargins) {
    Styles("<class name=\"m\" x-margin=\"6\" y-margin=\"2\"/>");
    const Rect bare = Place("<text id=\"2\" pos=\"10,10\">abc</text>");
    const Rect margined = Place("<text id=\"2\" pos=\"10,10\" class=\"m\">abc</text>");
    EXPECT_EQ(bare.left, 10);
    EXPECT_GT(bare.Width(), 10);
    EXPECT_LT(bare.Width(), 40);
    EXPECT_EQ(margined.Width(), bare.Width() + 12);
    EXPECT_EQ(margined.Height(), bare.Height() + 4);
    // Word break measures against the container's width.
    Styles("<class name=\"wrap\" textmode=\"10\"/>");
    std::string words;
    for (int i = 0; i < 12; ++i) {
        words += "many words that need more than one line ";
    }
    const Rect wrapped = Place("<text id=\"2\" pos=\"0,0\" class=\"wrap\">" + words + "</text>");
    EXPECT_LE(wrapped.Width(), 458);
    const Rect one = Place("<text id=\"2\" pos=\"0,0\">many</text>");
    EXPECT_GE(wrapped.Height(), 3 * one.Height());
}

TEST_F(Placement, ImagesTakeTheirSkinSize) {
    Skins("<png name=\"square\" src=\"104\"/><png name=\"missing\" src=\"999\"/>");
    EXPECT_EQ(Place("<img id=\"2\" pos=\"5,6\" skin=\"square\"/>"), (Rect{5, 6, 53, 54}));
    EXPECT_EQ(Place("<img id=\"2\" pos=\"5,6,15,16\" skin=\"square\"/>"), (Rect{5, 6, 53, 54}));
    EXPECT_EQ(Place("<img id=\"2\" pos=\"5,6,15,16\" skin=\"missing\"/>"), (Rect{5, 6, 15, 16}));
}

TEST_F(Placement, DpiScalingMultipliesPositionValuesOfAwareLayers) {
    BkDpi::SetFactor(1.5);
    view = std::make_unique<CBkViewImpl>(HostKind::ViewEx);
    ASSERT_TRUE(view->LoadLayoutText(Layer("<body><text id=\"2\" pos=\"10,20,-10,40\"/></body>",
                                           "width=\"200\" height=\"100\" dpiaware=\"1\"")));
    EXPECT_EQ(view->Layer().width, 300);
    view->LayoutPanels({0, 0, 300, 150});
    EXPECT_EQ(view->FindElementById(2)->GetRect(), (Rect{15, 30, 285, 60}));

    CBkViewImpl unaware(HostKind::ViewEx);
    ASSERT_TRUE(
        unaware.LoadLayoutText(Layer("<body><text id=\"2\" pos=\"10,20,-10,40\"/></body>")));
    EXPECT_EQ(unaware.Layer().width, 200);
    unaware.LayoutPanels({0, 0, 300, 150});
    EXPECT_EQ(unaware.FindElementById(2)->GetRect(), (Rect{10, 20, 290, 40}));
}

TEST_F(Placement, ChangingPosRelaysTheElementAtOnce) {
    Place("<text id=\"2\" pos=\"0,0,10,10\"/>");
    ASSERT_TRUE(view->SetElementAttribute(2, "pos", "90,122,150,182"));
    EXPECT_EQ(view->FindElementById(2)->GetRect(), (Rect{90, 122, 150, 182}));
    // An empty value changes nothing.
    view->SetElementAttribute(2, "pos", "");
    EXPECT_EQ(view->FindElementById(2)->GetRect(), (Rect{90, 122, 150, 182}));
}

}  // namespace
}  // namespace zeph::ui
