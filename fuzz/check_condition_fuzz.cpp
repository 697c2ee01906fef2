// Conditions over check items: the first line of the input is the condition,
// the second the value of item 8 (its expression over the leaves), evaluated
// against a fixed check section of leaves that stay on this machine.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "base/strings.h"
#include "fuzz/rules_fuzz_setup.h"
#include "rules/check_parser.h"
#include "rules/install_config.h"

namespace {

constexpr const char* kDocument = R"XML(<root><check>
<item id="1" name="a" value="1"><leaf id="1" mode="service" name="Nothing"/></item>
<item id="2" name="b" value="~1"><leaf id="1" mode="service" name="Nothing"/></item>
<item id="3" name="c" value="1&amp;(2|~3)">
  <leaf id="1" mode="osversion" versionvalue="20"/>
  <leaf id="2" mode="fullpathfile" path="C:\Windows" name=""/>
  <leaf id="3" mode="reg" mainkey="hklm" subkey="SOFTWARE\Zeph" keyname="x" wow64="0" keytype="1"/></item>
<item id="4" name="d" value="1&amp;"><leaf id="1" mode="service" name="Nothing"/></item>
<item id="4" name="e" value="1|1"><leaf id="1" mode="kernelobject" type="mutex" name="Global\Nothing"/></item>
<item id="5" name="f" value=""/>
<item id="6" name="g" value="7"><leaf id="1" mode="service" name="Nothing"/></item>
</check><install><company id="1" version="1"><tryno id="1" version="1">
<dlfile url="u" md5="m" moduletype="exe" path="p" downloadtype="1"/></tryno></company></install></root>)XML";

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check_condition_fuzz: %s\n", what);
        std::abort();
    }
}

class FixedLeaf : public zeph::ICheckLeaf {
  public:
    FixedLeaf(int32_t id, int32_t answer) : ICheckLeaf(id), m_answer(answer) {}
    int32_t Check() override { return m_answer; }

  private:
    int32_t m_answer;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zeph::fuzz::SetUpRulesFuzzing();
    static zeph::KInstallConfigMgr* config = [] {
        auto* made = new zeph::KInstallConfigMgr();
        Check(made->ParseInstallConfig(kDocument) == zeph::ConfigResult::Ok,
              "the fixed document does not load");
        return made;
    }();

    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t line = input.find('\n');
    const std::string condition = input.substr(0, line);
    const std::string value = line == std::string::npos ? std::string() : input.substr(line + 1);

    // Item 8 is rebuilt from the input each time; it sits after the fixed ones.
    zeph::KCheckParser probe;
    auto item = std::make_unique<zeph::KCheckItem>();
    item->id = 8;
    item->value = zeph::U16(value);
    for (int32_t id = 0; id < 4; ++id) {
        item->leaves.push_back(std::make_unique<FixedLeaf>(id, id & 1));
    }
    std::u16string expression;
    if (item->Evaluate(expression)) {
        for (const char16_t c : expression) {
            Check(c == u'0' || c == u'1' || c == u'&' || c == u'|' || c == u'~' || c == u'(' ||
                      c == u')',
                  "a leaf expression holds another character");
        }
    }
    probe.AddItem(std::move(item));
    bool itemValue = false;
    probe.EvaluateItem(8, expression, itemValue);

    int32_t failed = -1;
    std::u16string detail;
    const zeph::ConditionResult result = config->CheckCondition(condition.c_str(), failed, detail);
    using zeph::ConditionResult;
    Check(result == ConditionResult::Holds || result == ConditionResult::Fails ||
              result == ConditionResult::Malformed || result == ConditionResult::BadCharacter,
          "unexpected result");
    if (result == ConditionResult::Fails) {
        Check(failed >= 0, "a failing condition names no item");
    }
    return 0;
}
