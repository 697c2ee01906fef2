#include "rules/partner_offer.h"

#include <gtest/gtest.h>

#include "rules/signed_document.h"
#include "tests/rules/test_keys.h"
#include "tests/rules/test_machine.h"

namespace zeph {
namespace {

constexpr const char* kList = R"(<ROOT>
  <item>
    <tryno id="12_34" url="http://dl/partner.exe" md5="ABC" condition="2"/>
    <tryno id="12_34" url="http://dl/second.exe" md5="DEF" condition="3"/>
    <tryno id="12_35" url="http://dl/other.exe"/>
  </item>
  <condition>
    <leaf id="2" s360="1" hr="0" area="1"/>
    <leaf id="2" s360="0" hr="1" area="0"/>
    <leaf id="3"/>
  </condition>
</ROOT>)";

class PartnerOfferTest : public ::testing::Test {
  protected:
    test::TestMachine machine;
    KPartnerOfferList list;
};

TEST_F(PartnerOfferTest, ReadsOffersAndConditionsFirstEntryFirst) {
    // The list travels signed like the configuration.
    ASSERT_EQ(list.ParsePartnerOfferList(
                  DecodeConfigBody(test::SignForTest(kList), test::TestPublicKey())),
              1);
    std::u16string url, md5;
    int32_t condition = -1;
    ASSERT_TRUE(list.FindPartnerOffer("12_34", url, md5, condition));
    EXPECT_EQ(url, u"http://dl/partner.exe");
    EXPECT_EQ(md5, u"ABC");
    EXPECT_EQ(condition, 2);
    ASSERT_TRUE(list.FindPartnerOffer("12_35", url, md5, condition));
    EXPECT_EQ(md5, u"");
    EXPECT_EQ(condition, 0);

    int32_t s360 = -1, hr = -1, area = -1;
    ASSERT_TRUE(list.FindPartnerCondition(2, s360, hr, area));
    EXPECT_EQ(s360, 1);
    EXPECT_EQ(hr, 0);
    EXPECT_EQ(area, 1);
    ASSERT_TRUE(list.FindPartnerCondition(3, s360, hr, area));
    EXPECT_EQ(s360 + hr + area, 0);
}

TEST_F(PartnerOfferTest, LookupsOfAbsentKeysLeaveTheOutputs) {
    ASSERT_EQ(list.ParsePartnerOfferList(kList), 1);
    std::u16string url = u"u", md5 = u"m";
    int32_t condition = 9;
    EXPECT_FALSE(list.FindPartnerOffer("12_3", url, md5, condition));
    EXPECT_FALSE(list.FindPartnerOffer("12_34 ", url, md5, condition));
    EXPECT_EQ(url, u"u");
    EXPECT_EQ(md5, u"m");
    EXPECT_EQ(condition, 9);
    int32_t s360 = 7, hr = 7, area = 7;
    EXPECT_FALSE(list.FindPartnerCondition(4, s360, hr, area));
    EXPECT_EQ(s360 + hr + area, 21);
}

TEST_F(PartnerOfferTest, NeedsBothSections) {
    struct Case {
        const char* text;
        int result;
        size_t offers;
    };
    const Case cases[] = {
        {R"(<root><item><tryno id="a"/></item><condition/></root>)", 1, 1},
        {R"(<root><condition/><item><tryno id="a"/></item></root>)", 1, 1},
        // Offers read before a missing condition section stay.
        {R"(<root><item><tryno id="a"/></item></root>)", 0, 1},
        {R"(<root><condition/></root>)", 0, 0},
        {R"(<list><item/><condition/></list>)", 0, 0},
        {R"(<root><Item><tryno id="a"/></Item><condition/></root>)", 0, 0},
        {"", 0, 0},
        {"<root>", 0, 0},
    };
    for (const auto& c : cases) {
        KPartnerOfferList fresh;
        EXPECT_EQ(fresh.ParsePartnerOfferList(c.text), c.result) << c.text;
        EXPECT_EQ(fresh.Offers().size(), c.offers) << c.text;
    }
}

}  // namespace
}  // namespace zeph
