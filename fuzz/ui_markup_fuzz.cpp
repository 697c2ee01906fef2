// Loads arbitrary string, style, skin and layer markup (the input's parts
// separated by NUL bytes, in that order), lays the layer out and paints it,
// and runs the element operations on it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/draw.h"
#include "ui/bk_dpi.h"
#include "ui/bk_font.h"
#include "ui/bk_skin.h"
#include "ui/bk_string.h"
#include "ui/bk_style.h"
#include "ui/bk_view.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zeph;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view parts[4];
    for (auto& part : parts) {
        const std::size_t nul = input.find('\0');
        part = input.substr(0, nul);
        input = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
    }
    ui::BkDpi::SetFactor(std::nullopt);
    // A fixed face: the fuzzer has no machine profile to ask.
    static const bool face = (ui::BkFontPool::Instance().Reset(u"Microsoft YaHei"), true);
    (void)face;
    ui::BkString::Instance().Clear();
    ui::BkStylePool::Instance().Reset();
    ui::BkSkinPool::Instance().Clear();
    ui::BkString::Instance().LoadDocument(parts[0]);
    ui::BkStylePool::Instance().LoadDocument(parts[1]);
    ui::BkSkinPool::Instance().LoadDocument(parts[2]);

    for (ui::HostKind kind : {ui::HostKind::ViewEx, ui::HostKind::View}) {
        ui::CBkViewImpl view(kind);
        if (!view.LoadLayoutText(parts[3])) {
            continue;
        }
        view.LayoutPanels({0, 0, 96, 64});
        platform::Bitmap bitmap(96, 64);
        {
            platform::DeviceContext dc(bitmap);
            view.Paint(dc);
        }
        for (int id = 1; id <= 4; ++id) {
            view.SetElementText(id, u"changed %str1% text");
            view.SetElementAttribute(id, "pos", "|-5,2,w10,-0");
            view.SetElementVisible(id, id % 2 == 0);
            view.SetElementCheck(id, true);
            if (ui::CBkWindow* e = view.FindElementById(id)) {
                e->ModifyState(ui::kStateHover | ui::kStatePushed, 0);
            }
        }
        view.HitTestPanels({10, 10});
        view.LayoutPanels({0, 0, 50, 30});
        platform::DeviceContext dc(bitmap);
        view.Paint(dc);
    }
    return 0;
}
