// Resource lookup and the loading of definition sets.
#include "ui/resource_locator.h"

#include "base/ascii.h"
#include "base/format.h"
#include "base/strings.h"
#include "ui/bk_skin.h"
#include "ui/bk_string.h"
#include "ui/bk_style.h"
#include "ui/image_pools.h"
#include "ui/program_resources.h"
#include "ui/system_access.h"

namespace zeph::ui {

ResourceLocator& ResourceLocator::Instance() {
    static ResourceLocator locator;
    return locator;
}

void ResourceLocator::SetFolder(std::u16string folder) {
    if (folder != m_folder) {
        BkPngPool::Instance().Clear();
        BkJpgPool::Instance().Clear();
        BkBmpPool::Instance().Clear();
    }
    m_folder = std::move(folder);
}

std::optional<std::string> ResourceLocator::FromFolder(std::string_view type, int number) const {
    if (m_folder.empty()) {
        return std::nullopt;
    }
    std::u16string path = m_folder;
    if (path.back() != u'\\' && path.back() != u'/') {
        path += u'\\';
    }
    path += Utf8ToUtf16(Format("%d.%s", number, AsciiLower(type).c_str()));
    auto bytes = ReadFileBytes(path);
    if (!bytes || bytes->empty()) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> ResourceLocator::FindOne(std::string_view type, int number) const {
    if (auto embedded = FindProgramResource(type, number); embedded && !embedded->empty()) {
        return std::string(reinterpret_cast<const char*>(embedded->data()), embedded->size());
    }
    return FromFolder(type, number);
}

std::vector<std::string> ResourceLocator::FindAll(std::string_view type, int number) const {
    std::vector<std::string> out;
    if (auto embedded = FindProgramResource(type, number); embedded && !embedded->empty()) {
        out.emplace_back(reinterpret_cast<const char*>(embedded->data()), embedded->size());
    }
    if (auto file = FromFolder(type, number)) {
        out.push_back(std::move(*file));
    }
    return out;
}

bool ResourceLocator::LoadStrings(int number) {
    BkString& table = BkString::Instance();
    table.Clear();
    const auto docs = FindAll("xml", number);
    for (const auto& doc : docs) {
        table.LoadDocument(doc);
    }
    return !docs.empty();
}

bool ResourceLocator::LoadSkins(int number) {
    BkSkinPool& pool = BkSkinPool::Instance();
    pool.Clear();
    const auto docs = FindAll("xml", number);
    for (const auto& doc : docs) {
        pool.LoadDocument(doc);
    }
    return !docs.empty();
}

bool ResourceLocator::LoadStyles(int number) {
    BkStylePool& pool = BkStylePool::Instance();
    pool.Reset();
    const auto docs = FindAll("xml", number);
    for (const auto& doc : docs) {
        pool.LoadDocument(doc);
    }
    return !docs.empty();
}

}  // namespace zeph::ui
