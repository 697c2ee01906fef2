// Finding markup and images by (type, number): first the program file's own
// resource, then the file "<folder>\<number>.<type>" of the resource folder.
// Definition documents (strings, skins, styles) merge both, the program
// file's first, and the first definition of a name wins. UI thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::ui {

class ResourceLocator {
  public:
    static ResourceLocator& Instance();

    // Switching to another folder empties the image caches first.
    void SetFolder(std::u16string folder);
    const std::u16string& Folder() const { return m_folder; }

    // The first source that has it; an empty file counts as missing.
    std::optional<std::string> FindOne(std::string_view type, int number) const;
    // Every source that has it, the program file's first.
    std::vector<std::string> FindAll(std::string_view type, int number) const;

    // Empty the table, then merge every document of that number. True when
    // at least one document was found.
    bool LoadStrings(int number);
    bool LoadSkins(int number);
    bool LoadStyles(int number);

  private:
    std::optional<std::string> FromFolder(std::string_view type, int number) const;
    std::u16string m_folder;
};

}  // namespace zeph::ui
