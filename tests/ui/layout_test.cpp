// Layer documents: window settings, panels and their layout, element
// creation by tag, finding elements and changing them at run time.
#include "tests/ui/ui_fixture.h"
#include "ui/bk_controls.h"

namespace zeph::ui {
namespace {

using platform::Rect;
using test::UiTest;

class Layout : public UiTest {};

TEST_F(Layout, LayerAttributesGiveTheWindowSettings) {
    struct Case {
        HostKind kind;
        const char* attributes;
        std::uint32_t style;
        std::uint32_t exStyle;
    };
    const Case cases[] = {
        // Not resizable: no maximise box, a minimise box; edges.
        {HostKind::ViewEx, "", 0x800A0000, 0x00010300},
        {HostKind::ViewEx, "resize=\"1\"", 0x800F0000, 0x00010300},
        {HostKind::ViewEx, "noborder=\"1\" appwin=\"1\"", 0x800A0000, 0x00050088},
        {HostKind::ViewEx, "layered=\"1\"", 0x800A0000, 0x00090300},
        {HostKind::View, "layered=\"1\"", 0x800A0000, 0x00010300},
        // A child drops popup, system menu and layered; no border settings.
        {HostKind::ViewEx, "child=\"1\" layered=\"1\" noborder=\"1\" resize=\"1\"", 0x46010000,
         0x00010000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        CBkViewImpl view(c.kind);
        ASSERT_TRUE(view.LoadLayoutText(std::string("<layer ") + c.attributes + "/>"));
        EXPECT_EQ(view.Layer().style, c.style);
        EXPECT_EQ(view.Layer().exStyle, c.exStyle);
    }
    CBkViewImpl view(HostKind::ViewEx);
    ASSERT_TRUE(
        view.LoadLayoutText("<layer title=\"塔威\" width=\"458\" height=\"314\" min_width=\"300\" "
                            "nomove=\"1\" frame=\"bg\" anim=\"1\"/>"));
    EXPECT_EQ(view.Layer().title, u"塔威");
    EXPECT_EQ(view.Layer().width, 458);
    EXPECT_EQ(view.Layer().minWidth, 300);
    EXPECT_EQ(view.Layer().noMove, 1);
    EXPECT_EQ(view.Layer().frame, "bg");
    EXPECT_EQ(view.Layer().anim, 1);
}

TEST_F(Layout, BadDocumentsFailAndEmptyThePanels) {
    CBkViewImpl view(HostKind::ViewEx);
    ASSERT_TRUE(view.LoadLayoutText(Layer("<body><text id=\"5\"/></body>")));
    ASSERT_NE(view.FindElementById(5), nullptr);
    for (const char* bad : {"<layer><body>", "<screen/>", "", "not xml at all"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(view.LoadLayoutText(bad));
        EXPECT_FALSE(view.IsLoaded());
        EXPECT_EQ(view.FindElementById(5), nullptr);
    }
    EXPECT_FALSE(view.LoadLayout(424242));
}

TEST_F(Layout, FullHeightHeaderDependsOnTheHostKind) {
    const std::string markup =
        Layer("<header height=\"FULL\"><text id=\"1\" pos=\"0,0,-0,-0\"/></header>");
    struct Case {
        HostKind kind;
        bool fills;
        Rect header;
    };
    for (const Case& c : {Case{HostKind::ViewEx, true, {0, 0, 300, 200}},
                          Case{HostKind::View, false, {0, 0, 300, 0}}}) {
        CBkViewImpl view(c.kind);
        ASSERT_TRUE(view.LoadLayoutText(markup));
        view.LayoutPanels({0, 0, 300, 200});
        EXPECT_EQ(view.HeaderFillsWindow(), c.fills);
        EXPECT_EQ(view.Header().GetRect(), c.header);
    }
    // With a body the full header is not a full window.
    CBkViewImpl view(HostKind::ViewEx);
    ASSERT_TRUE(view.LoadLayoutText(Layer("<header height=\"full\"/><body/>")));
    EXPECT_FALSE(view.HeaderFillsWindow());
}

TEST_F(Layout, PanelsStackAndFollowTheWindowSize) {
    CBkViewImpl view(HostKind::ViewEx);
    ASSERT_TRUE(
        view.LoadLayoutText(Layer("<header height=\"30\"/><body><text id=\"7\" "
                                  "pos=\"0,0,-0,-0\"/></body><footer height=\"44\"/>")));
    struct Case {
        Rect client;
        Rect header;
        Rect body;
        Rect footer;
    };
    const Case cases[] = {
        {{0, 0, 458, 314}, {0, 0, 458, 30}, {0, 30, 458, 270}, {0, 270, 458, 314}},
        {{0, 0, 600, 400}, {0, 0, 600, 30}, {0, 30, 600, 356}, {0, 356, 600, 400}},
    };
    for (const Case& c : cases) {
        view.LayoutPanels(c.client);
        EXPECT_EQ(view.Header().GetRect(), c.header);
        EXPECT_EQ(view.Body().GetRect(), c.body);
        EXPECT_EQ(view.Footer().GetRect(), c.footer);
        EXPECT_EQ(view.FindElementById(7)->GetRect(), c.body);
    }
    CBkViewImpl bodyOnly(HostKind::View);
    ASSERT_TRUE(bodyOnly.LoadLayoutText(Layer("<header height=\"30\"/><body/>")));
    bodyOnly.LayoutPanels({0, 0, 100, 100});
    EXPECT_EQ(bodyOnly.Body().GetRect(), (Rect{0, 30, 100, 100}));
}

TEST_F(Layout, TagsMakeTheirElementsAndUnknownOnesAreSkipped) {
    CBkViewImpl view(HostKind::ViewEx);
    ASSERT_TRUE(view.LoadLayoutText(
        Layer("<body>"
              "<text id=\"1\"/><imgbtn id=\"2\"/><dlgbtn id=\"3\"><text id=\"31\"/></dlgbtn>"
              "<mystery id=\"4\"><text id=\"41\"/></mystery>"
              "<listwnd id=\"5\"><listitem id=\"51\"/></listwnd>"
              "<realwnd id=\"6\" ctrlid=\"106\"/><hr id=\"7\"/>"
              "</body>")));
    struct Case {
        int id;
        const char* tag;
        bool container;
    };
    const Case cases[] = {{1, "text", false},    {2, "imgbtn", false}, {3, "dlgbtn", true},
                          {31, "text", false},   {5, "listwnd", true}, {51, "listitem", true},
                          {6, "realwnd", false}, {7, "hr", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        CBkWindow* e = view.FindElementById(c.id);
        ASSERT_NE(e, nullptr);
        EXPECT_STREQ(e->GetClassName(), c.tag);
        EXPECT_TRUE(e->IsClass(c.tag));
        EXPECT_FALSE(e->IsClass("dlg") && std::string_view(c.tag) != "dlg");
        EXPECT_EQ(e->IsContainer(), c.container);
    }
    EXPECT_EQ(view.FindElementById(4), nullptr);
    EXPECT_EQ(view.FindElementById(41), nullptr);
    EXPECT_EQ(view.Body().Children().size(), 6u);
}

TEST_F(Layout, ScreenCreatorIsAskedLast) {
    struct Creator : IBkControlCreator {
        std::vector<std::string> asked;
        std::unique_ptr<CBkWindow> CreateElement(std::string_view tag) override {
            asked.emplace_back(tag);
            return tag == "custom" ? std::make_unique<CBkWindow>("custom") : nullptr;
        }
    } creator;
    CBkViewImpl view(HostKind::ViewEx);
    view.ControlCreator().SetScreenCreator(&creator);
    ASSERT_TRUE(view.LoadLayoutText(
        Layer("<body><text id=\"1\"/><dlg><custom id=\"2\"/></dlg><other id=\"3\"/></body>")));
    EXPECT_EQ(creator.asked, (std::vector<std::string>{"custom", "other"}));
    ASSERT_NE(view.FindElementById(2), nullptr);
    EXPECT_STREQ(view.FindElementById(2)->GetClassName(), "custom");
}

TEST_F(Layout, FindPrefersDirectChildrenThenSearchesInDocumentOrder) {
    CBkViewImpl view(HostKind::ViewEx);
    ASSERT_TRUE(view.LoadLayoutText(
        Layer("<header height=\"30\"><dlg><text id=\"5\" tip=\"deep\"/></dlg><text id=\"5\" "
              "tip=\"direct\"/>"
              "<dlg><dlg><text id=\"8\" tip=\"first\"/></dlg></dlg><dlg><text id=\"8\" "
              "tip=\"second\"/></dlg></header>"
              "<body><text id=\"5\" tip=\"body\"/><text id=\"9\" tip=\"body9\"/></body>")));
    struct Case {
        int id;
        const char16_t* tip;
    };
    for (const Case& c : {Case{5, u"direct"}, Case{8, u"first"}, Case{9, u"body9"}}) {
        CBkWindow* e = view.FindElementById(c.id);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->GetTipText(), c.tip);
    }
}

TEST_F(Layout, CommonAttributesAndTheirResults) {
    CBkWindow e("text");
    struct Case {
        const char* name;
        const char* value;
        AttrResult result;
    };
    const Case cases[] = {
        {"class", "x", AttrResult::Layout},         {"id", "12", AttrResult::Repaint},
        {"crbg", "FF0000", AttrResult::Repaint},    {"font", "0004", AttrResult::Repaint},
        {"valign", "middle", AttrResult::Layout},   {"valign", "centre", AttrResult::Unknown},
        {"align", "right", AttrResult::Layout},     {"pos", "1,2", AttrResult::Layout},
        {"show", "0", AttrResult::Unknown},         {"width", "5", AttrResult::Unknown},
        {"ctrlid", "106", AttrResult::Unknown},     {"notify", "3", AttrResult::Repaint},
        {"correctdrawbg", "1", AttrResult::Layout},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(e.SetAttribute(c.name, c.value, true), c.result) << c.name << "=" << c.value;
    }
    EXPECT_EQ(e.Id(), 12);
    EXPECT_EQ(e.BackgroundColor(), platform::MakeColorref(255, 0, 0));
    EXPECT_EQ(e.FontCode(), 4);
    // The rejected word left the earlier value.
    EXPECT_EQ(e.VAlign(), kVAlignMiddle);
    EXPECT_EQ(e.Align(), kAlignRight);
    EXPECT_EQ(e.NotifyFlags(), 3);
}

TEST_F(Layout, ShowAttributeOnlyWorksAtLoad) {
    CBkViewImpl view(HostKind::ViewEx);
    ASSERT_TRUE(
        view.LoadLayoutText(Layer("<body><text id=\"1\" show=\"0\"/><text id=\"2\" "
                                  "show=\"\"/><text id=\"3\" show=\"1\"/></body>")));
    EXPECT_FALSE(view.FindElementById(1)->IsVisible());
    EXPECT_TRUE(view.FindElementById(2)->IsVisible());
    view.SetElementAttribute(3, "show", "0");
    EXPECT_TRUE(view.FindElementById(3)->IsVisible());
    EXPECT_TRUE(view.SetElementVisible(3, false));
    EXPECT_FALSE(view.FindElementById(3)->IsVisible());
    EXPECT_TRUE(view.SetElementVisible(1, true));
    EXPECT_TRUE(view.FindElementById(1)->IsVisible());
}

TEST_F(Layout, TextChangesResizeOnlyContentSizedElements) {
    CBkViewImpl view(HostKind::ViewEx);
    ASSERT_TRUE(
        view.LoadLayoutText(Layer("<body><text id=\"1\" pos=\"10,10\">ab</text><text id=\"2\" "
                                  "pos=\"10,40,60,60\">ab</text></body>")));
    view.LayoutPanels({0, 0, 400, 100});
    const Rect before = view.FindElementById(1)->GetRect();
    ASSERT_TRUE(view.SetElementText(1, u"a much longer text"));
    const Rect after = view.FindElementById(1)->GetRect();
    EXPECT_EQ(after.TopLeft(), before.TopLeft());
    EXPECT_GT(after.right, before.right + 40);
    ASSERT_TRUE(view.SetElementText(2, u"a much longer text"));
    EXPECT_EQ(view.FindElementById(2)->GetRect(), (Rect{10, 40, 60, 60}));
    EXPECT_EQ(view.FindElementById(2)->Text(), u"a much longer text");
}

TEST_F(Layout, ElementOperationsOnUnknownIdsFail) {
    CBkViewImpl view(HostKind::View);
    ASSERT_TRUE(view.LoadLayoutText(Layer("<body><check id=\"1\"/></body>")));
    EXPECT_FALSE(view.SetElementText(99, u"x"));
    EXPECT_FALSE(view.SetElementAttribute(99, "pos", "1,2"));
    EXPECT_FALSE(view.SetElementStringAttribute(99, "class", u"x"));
    EXPECT_FALSE(view.SetElementVisible(99, true));
    EXPECT_FALSE(view.SetElementCheck(99, true));
    EXPECT_FALSE(view.GetElementCheck(99));
    EXPECT_TRUE(view.SetElementCheck(1, true));
    EXPECT_TRUE(view.GetElementCheck(1));
    EXPECT_TRUE(view.SetElementCheck(1, false));
    EXPECT_FALSE(view.GetElementCheck(1));
    EXPECT_TRUE(view.SetElementStringAttribute(1, "tip", u"提示"));
    EXPECT_EQ(view.FindElementById(1)->GetTipText(), u"提示");
}

TEST_F(Layout, HandlesOutliveNothing) {
    ElementHandle handle = 0;
    {
        CBkViewImpl view(HostKind::ViewEx);
        ASSERT_TRUE(
            view.LoadLayoutText(Layer("<body><dlg id=\"1\"><text id=\"2\"/></dlg></body>")));
        CBkWindow* e = view.FindElementById(2);
        handle = e->Handle();
        EXPECT_EQ(BkHandleMap::Find(handle), e);
        EXPECT_EQ(e->Parent(), view.FindElementById(1));
        ASSERT_TRUE(view.LoadLayoutText(Layer("<body/>")));
        EXPECT_EQ(BkHandleMap::Find(handle), nullptr);
    }
    EXPECT_EQ(BkHandleMap::Find(0), nullptr);
}

TEST_F(Layout, HitTestingFollowsFloatOrderTransparencyAndOnlyDrawChild) {
    CBkViewImpl view(HostKind::ViewEx);
    ASSERT_TRUE(view.LoadLayoutText(
        Layer("<body>"
              "<text id=\"1\" pos=\"0,0,100,100\"/>"
              "<text id=\"2\" pos=\"0,0,50,50\"/>"
              "<text id=\"3\" pos=\"0,0,20,20\" transparent=\"1\"/>"
              "<dlgbtn id=\"4\" pos=\"100,0,150,50\"><text id=\"41\" pos=\"0,0,-0,-0\"/></dlgbtn>"
              "<dlg id=\"5\" pos=\"150,0,200,50\"><text id=\"51\" pos=\"0,0,-0,-0\"/></dlg>"
              "<text id=\"6\" float=\"1\" width=\"30\" height=\"30\"/>"
              "</body>")));
    view.LayoutPanels({0, 0, 200, 100});
    struct Case {
        Point p;
        int id;
    };
    // The floating one (at the origin, 30 x 30) wins over later siblings.
    const Case cases[] = {{{10, 10}, 6},  {{40, 40}, 2},   {{70, 70}, 1},
                          {{120, 10}, 4}, {{160, 10}, 51}, {{180, 80}, -1}};
    for (const Case& c : cases) {
        const ElementHandle hit = view.HitTestPanels(c.p);
        CBkWindow* e = BkHandleMap::Find(hit);
        ASSERT_NE(e, nullptr);
        // -1: the body itself.
        EXPECT_EQ(c.id == -1 ? &view.Body() : view.FindElementById(c.id), e)
            << c.p.x << "," << c.p.y;
    }
    view.FindElementById(2)->ModifyState(kStateDisabled, 0);
    EXPECT_EQ(BkHandleMap::Find(view.HitTestPanels({40, 40}, true)), view.FindElementById(1));
}

}  // namespace
}  // namespace zeph::ui
