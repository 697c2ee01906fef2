// Position parsing and placement arithmetic.
#include "ui/bk_pos.h"

#include "base/numbers.h"
#include "ui/notation.h"

namespace zeph::ui {

BkPos ParsePos(std::string_view text, int (*scale)(int)) {
    BkPos pos;
    std::size_t at = 0;
    int count = 0;
    while (count < 4 && at < text.size()) {
        const std::size_t comma = text.find(',', at);
        std::string_view item =
            text.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
        BkPosItem& it = pos.item[count];
        if (!item.empty() && item.front() == '|') {
            it.center = true;
            item.remove_prefix(1);
        }
        if (!item.empty() && item.front() == '-') {
            it.fromFar = true;
            item.remove_prefix(1);
        }
        bool widthMark = false;
        bool heightMark = false;
        if (!item.empty() && item.front() == 'w') {
            widthMark = true;
            item.remove_prefix(1);
        }
        if (!item.empty() && item.front() == 'h') {
            heightMark = true;
            item.remove_prefix(1);
        }
        it.value = ClampCoordinate(Atoi(item));
        if (count == 2 && widthMark) {
            it.value += pos.item[0].value;
        }
        if (count == 3 && heightMark) {
            it.value += pos.item[1].value;
        }
        ++count;
        if (comma == std::string_view::npos) {
            break;
        }
        at = comma + 1;
    }
    if (count != 2 && count != 4) {
        return BkPos{};
    }
    pos.count = count;
    if (scale != nullptr) {
        for (int i = 0; i < count; ++i) {
            pos.item[i].value = ClampCoordinate(scale(pos.item[i].value));
        }
    }
    return pos;
}

int PosCoordinate(const BkPosItem& item, int low, int high) {
    if (item.center) {
        // Integer halving rounds towards zero.
        const int middle = low + (high - low) / 2;
        return item.fromFar ? middle - item.value : middle + item.value;
    }
    return item.fromFar ? high - item.value : low + item.value;
}

platform::Point PosOrigin(const BkPos& pos, const platform::Rect& box) {
    return {PosCoordinate(pos.item[0], box.left, box.right),
            PosCoordinate(pos.item[1], box.top, box.bottom)};
}

platform::Size PosSize(const BkPos& pos, int boxWidth, int boxHeight) {
    const int left = PosCoordinate(pos.item[0], 0, boxWidth);
    const int right = PosCoordinate(pos.item[2], 0, boxWidth);
    const int top = PosCoordinate(pos.item[1], 0, boxHeight);
    const int bottom = PosCoordinate(pos.item[3], 0, boxHeight);
    return {right - left, bottom - top};
}

}  // namespace zeph::ui
