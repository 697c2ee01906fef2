// The string table: texts that markup references as "%str" N "%".
// UI thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zeph::ui {

class BkString {
  public:
    static BkString& Instance();

    void Clear() { m_strings.clear(); }
    // Merges one string document (root "string", children "s" with "id");
    // ids already present keep their text. False when it does not parse or
    // has another root.
    bool LoadDocument(std::string_view utf8);
    std::optional<std::u16string> GetString(int id) const;
    std::size_t Size() const { return m_strings.size(); }

  private:
    std::unordered_map<int, std::u16string> m_strings;
};

// Replaces each "%str" N "%" with string N (or nothing when the table lacks
// it). A number that is not positive, or a missing closing "%", ends the
// replacement and leaves the rest as it is. The search goes on after the
// inserted text, so a string never expands references inside itself.
std::u16string ReplaceStringReferences(std::u16string text, const BkString& table);

}  // namespace zeph::ui
