// Conditions over the check items and the uninstall-interval gate, the
// configuration manager's evaluation side.
#include "base/numbers.h"
#include "platform/clock.h"
#include "platform/registry.h"
#include "rules/bool_expression.h"
#include "rules/check_parser.h"
#include "rules/install_config.h"
#include "rules/registry_places.h"

namespace zeph {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The leaf expression as the report shows it: "1&~0" -> "1and~0".
std::u16string DetailText(std::u16string_view expression) {
    std::u16string detail;
    for (const char16_t c : expression) {
        if (c == u'&') {
            detail += u"and";
        } else if (c == u'|') {
            detail += u"or";
        } else {
            detail.push_back(c);
        }
    }
    return detail;
}

std::optional<uint32_t> ReadDwordAt(platform::Hive hive, std::u16string_view subKey,
                                    std::u16string_view name) {
    platform::RegKey key;
    if (platform::RegKey::Open(hive, subKey, platform::RegAccess::Read, platform::RegView::Default,
                               key) != platform::WinError::Success) {
        return std::nullopt;
    }
    return key.ReadDword(name);
}

}  // namespace

ConditionResult KInstallConfigMgr::CheckCondition(const char* condition, int32_t& failedItemId,
                                                  std::u16string& detail) {
    if (condition == nullptr || !m_company) {
        return ConditionResult::NoCondition;
    }
    if (*condition == '\0') {
        return ConditionResult::Holds;
    }
    std::u16string output;
    bool negate = false;
    bool allTrue = true;
    for (const char* p = condition; *p != '\0';) {
        const char c = *p;
        if (c == '&' || c == '|' || c == '(' || c == ')') {
            output.push_back(static_cast<char16_t>(c));
            ++p;
            continue;
        }
        if (c == '~') {
            // Waits for the next item id, so "~(1&2)" negates item 1 only.
            negate = true;
            ++p;
            continue;
        }
        if (!IsDigit(c)) {
            return ConditionResult::BadCharacter;
        }
        const char* end = p;
        while (IsDigit(*end)) {
            ++end;
        }
        if (static_cast<size_t>(end - p) > kMaxIdDigits) {
            return ConditionResult::Malformed;
        }
        const int32_t itemId = Atoi(std::string_view(p, static_cast<size_t>(end - p)));
        p = end;

        std::u16string leafExpression;
        bool value = false;
        bool result = true;  // a missing or failing item counts as true
        if (m_checkParser && m_checkParser->EvaluateItem(itemId, leafExpression, value)) {
            result = negate ? !value : value;
        }
        negate = false;
        output.push_back(result ? u'1' : u'0');
        if (!result && allTrue) {
            failedItemId = itemId;
            detail = DetailText(leafExpression);
            allTrue = false;
        }
    }
    bool holds = false;
    if (EvaluateBoolExpression(output, holds) != ExpressionResult::Ok) {
        return ConditionResult::Malformed;
    }
    return holds ? ConditionResult::Holds : ConditionResult::Fails;
}

ConditionResult KInstallConfigMgr::CheckUninstallInterval(int32_t days) {
    if (days == 0) {
        return ConditionResult::Holds;
    }
    const int64_t now = platform::UnixTime();
    if (const auto time = ReadDwordAt(platform::Hive::LocalMachine, kSuiteKey, u"uninstall_time")) {
        const int64_t elapsed = (now - static_cast<int64_t>(*time)) / 86400;
        return elapsed < days ? ConditionResult::UninstalledRecently : ConditionResult::Holds;
    }
    if (const auto time =
            ReadDwordAt(platform::Hive::ClassesRoot, kMachineIdKey, u"uninstall_time")) {
        const int64_t elapsed = (now - static_cast<int64_t>(*time)) / 86400;
        return elapsed < days ? ConditionResult::UninstalledRecentlyClassRoot
                              : ConditionResult::Holds;
    }
    return ConditionResult::Holds;
}

}  // namespace zeph
