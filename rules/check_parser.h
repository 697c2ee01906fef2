// The check section of the configuration: numbered check items, each an
// expression over its numbered leaves ("1&~2"). Conditions name items by id.
//
// Used on the install driver's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rules/check_leaves.h"

namespace tinyxml2 {
class XMLElement;
}

namespace zeph {

// Ids in expressions are at most this many digits; a longer run makes the
// expression malformed.
inline constexpr size_t kMaxIdDigits = 32;

class KCheckItem {
  public:
    virtual ~KCheckItem() = default;

    // The value with every leaf id replaced by the answers of the leaves of
    // that id ("1" or "0" each, in leaf order; nothing for an id no leaf
    // has). Every reference runs the leaf again. False for a character
    // outside the expression alphabet or an over-long id.
    bool Evaluate(std::u16string& leafExpression);

    int32_t id = 0;
    std::u16string name;
    std::u16string value;
    std::vector<std::unique_ptr<ICheckLeaf>> leaves;
};

class KCheckParser {
  public:
    virtual ~KCheckParser() = default;

    // Builds the items of a "check" element. An item without id, name or
    // value, with a leaf that does not parse, or whose value is not a
    // balanced expression text is dropped; items of equal id are all kept.
    void Parse(const tinyxml2::XMLElement& check);

    // The first item of that id that evaluates to a well-formed expression:
    // 1 with its leaf expression and value; 0 when there is none (or an item
    // of that id failed to evaluate).
    int EvaluateItem(int32_t itemId, std::u16string& leafExpression, bool& value);

    const std::vector<std::unique_ptr<KCheckItem>>& Items() const { return m_items; }
    void AddItem(std::unique_ptr<KCheckItem> item) { m_items.push_back(std::move(item)); }

  private:
    std::vector<std::unique_ptr<KCheckItem>> m_items;
};

// Reads a run of decimal digits as an id, like atoi (clamped). Used for ids
// in conditions and item values alike.
int32_t ReadExpressionId(std::u16string_view digits);

}  // namespace zeph
