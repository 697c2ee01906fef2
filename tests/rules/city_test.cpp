#include "rules/city.h"

#include <gtest/gtest.h>

#include <mutex>

#include "base/crc32.h"
#include "base/strings.h"
#include "net/endpoints.h"
#include "rules/city_protocol.h"
#include "tests/rules/test_machine.h"
#include "tests/support/loopback_server.h"

namespace zeph {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(CityProtocol, RequestCarriesTheScrambledIdUnderItsChecksum) {
    const CityRequest request = EncodeCityRequest("0123456789abcdef-and-more");
    EXPECT_EQ(request[0], 28);
    EXPECT_EQ(request[1], 0);
    const uint32_t crc =
        request[2] | (request[3] << 8) | (request[4] << 16) | (uint32_t(request[5]) << 24);
    EXPECT_EQ(crc, Crc32(request.data() + 6, 22));
    // Byte 6 + i is XORed with key[i % 16]: the two zero bytes show the key.
    EXPECT_EQ(request[6], 'T');
    EXPECT_EQ(request[7], 'p');
    EXPECT_EQ(request[8], '0' ^ 'W');
    EXPECT_EQ(request[24], 'W');  // position 18: key[2]

    const auto id = DecodeCityRequest(request);
    ASSERT_TRUE(id);
    EXPECT_EQ(*id, "0123456789abcdef");
    EXPECT_EQ(DecodeCityRequest(EncodeCityRequest("short")), "short");

    CityRequest spoilt = request;
    spoilt[10] ^= 1;
    EXPECT_FALSE(DecodeCityRequest(spoilt));
    EXPECT_FALSE(DecodeCityRequest(std::span<const uint8_t>(request.data(), 27)));
}

TEST(CityProtocol, AnswerRoundTripsAndChecksItsChecksum) {
    const std::string text = R"({"cityid":"101","name":"城"})";
    const std::string answer = EncodeCityAnswer(text);
    EXPECT_EQ(answer.size(), text.size() + 6);
    EXPECT_EQ(DecodeCityAnswer(answer), text);

    std::string spoilt = answer;
    spoilt.back() ^= 1;
    EXPECT_FALSE(DecodeCityAnswer(spoilt));
    EXPECT_FALSE(DecodeCityAnswer(answer.substr(0, 6)));  // header only
    EXPECT_FALSE(DecodeCityAnswer(std::string()));
    // Text after a NUL is not part of the record.
    EXPECT_EQ(DecodeCityAnswer(EncodeCityAnswer(std::string("ab\0cd", 5))), "ab");
}

class CityServiceTest : public ::testing::Test {
  protected:
    CityServiceTest() : m_saved(net::GetEndpoints()) {
        ResetCityRecordCache();
        net::Endpoints endpoints = m_saved;
        endpoints.city1 = U16(down.HostPort());
        endpoints.city2 = U16(busy.HostPort());
        endpoints.city3 = U16(city.HostPort());
        endpoints.cityid = U16(city.HostPort());
        down.Stop();
        busy.Handle("/cityinfo", [](const test::SeenRequest&) {
            return test::Reply{.status = 503, .body = "busy"};
        });
        city.Handle("/cityinfo", [this](const test::SeenRequest& request) {
            std::lock_guard lock(m_mutex);
            m_ids.push_back(DecodeCityRequest(Bytes(request.body)).value_or("bad request"));
            return test::Reply{.body = m_answer};
        });
        net::SetEndpoints(endpoints);
    }
    ~CityServiceTest() override {
        net::SetEndpoints(m_saved);
        ResetCityRecordCache();
    }

    void Answer(std::string bytes) {
        std::lock_guard lock(m_mutex);
        m_answer = std::move(bytes);
    }
    std::vector<std::string> Ids() {
        std::lock_guard lock(m_mutex);
        return m_ids;
    }

    test::TestMachine machine;

  private:
    net::Endpoints m_saved;
    std::mutex m_mutex;
    std::string m_answer;
    std::vector<std::string> m_ids;

  protected:
    test::LoopbackServer down;
    test::LoopbackServer busy;
    test::LoopbackServer city;  // last: its handler uses the members above
};

TEST_F(CityServiceTest, AsksTheEndpointsInTurnUntilOneAnswers) {
    Answer(EncodeCityAnswer(R"({"cityid":"101"})"));
    std::u16string record;
    ASSERT_TRUE(CityRecord(record));
    EXPECT_EQ(record, u"{\"cityid\":\"101\"}");
    EXPECT_EQ(busy.Count("/cityinfo", "POST"), 1u);
    EXPECT_EQ(city.Count("/cityinfo", "POST"), 1u);
    // An empty body counts as no answer as well.
    busy.Handle("/cityinfo", [](const test::SeenRequest&) { return test::Reply{.body = ""}; });
    // The request carries the first 16 characters of a fresh partner id,
    // which differs per request while none is stored.
    ASSERT_TRUE(CityRecord(record));
    const auto ids = Ids();
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0].size(), 16u);
    EXPECT_NE(ids[0], ids[1]);
}

TEST_F(CityServiceTest, ErrorAnswersAndBadChecksumsLeaveTheCityUnknown) {
    std::string spoilt = EncodeCityAnswer(R"({"cityid":"101"})");
    spoilt[7] ^= 1;
    for (const std::string& answer :
         {EncodeCityAnswer("2#limit"), EncodeCityAnswer("1#error"), spoilt, std::string("tiny")}) {
        Answer(answer);
        std::u16string record = u"before";
        EXPECT_FALSE(CityRecord(record));
        EXPECT_EQ(record, u"before");
    }
    // The kept record is asked for again until one arrives, then kept.
    EXPECT_EQ(CachedCityRecord(), u"");
    Answer(EncodeCityAnswer(R"({"cityid":"7"})"));
    EXPECT_EQ(CachedCityRecord(), u"{\"cityid\":\"7\"}");
    Answer(EncodeCityAnswer(R"({"cityid":"8"})"));
    EXPECT_EQ(CachedCityRecord(), u"{\"cityid\":\"7\"}");
}

TEST_F(CityServiceTest, CityIdLookupSendsTheUserAndReadsData) {
    machine.Reg(
        R"([HKEY_CLASSES_ROOT\CLSID\{9B7A98EC-7EF9-468c-ACC8-37C793DBD7E0}\Implemented Categories\{9B4EEDF7-FC98-4fa0-8440-9D1BC57B5F2F}]
"uid"="0123456789abcdef0123456789abcdef"
)");
    std::string reply = R"({"code":0,"data":"310100"})";
    std::mutex replyMutex;
    city.Handle("/ip/cityid", [&](const test::SeenRequest&) {
        std::lock_guard lock(replyMutex);
        return test::Reply{.body = reply};
    });
    std::u16string cityId = u"old";
    LookupCityId(cityId);
    EXPECT_EQ(cityId, u"310100");
    const auto requests = city.Requests("/ip/cityid");
    ASSERT_EQ(requests.size(), 1u);
    const auto& r = requests[0];
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.body, "");
    EXPECT_EQ(r.Header("uniqid"), "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(r.Header("Content-Type"), "text/plain");
    EXPECT_EQ(r.Header("from"), "zeph");
    EXPECT_EQ(r.Header("version"), "1");
    EXPECT_EQ(r.Header("lnt"), "0");
    EXPECT_EQ(r.Header("lat"), "0");

    for (const char* bad : {R"({"data":310100})", "not json", R"(["310100"])", ""}) {
        {
            std::lock_guard lock(replyMutex);
            reply = bad;
        }
        cityId = u"old";
        LookupCityId(cityId);
        EXPECT_EQ(cityId, u"") << bad;
    }
    city.Remove("/ip/cityid");
}

}  // namespace
}  // namespace zeph
