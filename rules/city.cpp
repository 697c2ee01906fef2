#include "rules/city.h"

#include <json/json.h>

#include <memory>
#include <mutex>

#include "base/strings.h"
#include "net/endpoints.h"
#include "net/http_request.h"
#include "rules/ansi_text.h"
#include "rules/city_protocol.h"
#include "rules/machine_identity.h"

namespace zeph {
namespace {

std::mutex g_cityMutex;
std::u16string g_cityRecord;

}  // namespace

bool CityRecord(std::u16string& record) {
    const CityRequest request = EncodeCityRequest(WideToAnsi(GetPartnerMachineId()));
    const net::Endpoints& endpoints = net::GetEndpoints();
    const std::u16string* hosts[] = {&endpoints.city1, &endpoints.city2, &endpoints.city3};
    const auto urls = net::CityInfoUrls();
    std::string answer;
    for (size_t i = 0; i < urls.size() && answer.empty(); ++i) {
        if (hosts[i]->empty()) {
            continue;  // no server configured there
        }
        // An error page is not the service's answer: the next one is asked.
        if (net::HttpPostBytes(urls[i], request.data(), request.size(), answer) != 200) {
            answer.clear();
        }
    }
    if (answer.empty()) {
        return false;
    }
    const auto text = DecodeCityAnswer(answer);
    if (!text || text->starts_with("1#") || text->starts_with("2#")) {
        return false;
    }
    record = AnsiToWide(*text);
    return true;
}

std::u16string CachedCityRecord() {
    std::lock_guard lock(g_cityMutex);
    if (g_cityRecord.empty()) {
        std::u16string record;
        if (CityRecord(record)) {
            g_cityRecord = std::move(record);
        }
    }
    return g_cityRecord;
}

void ResetCityRecordCache() {
    std::lock_guard lock(g_cityMutex);
    g_cityRecord.clear();
}

void LookupCityId(std::u16string& cityId) {
    cityId.clear();
    if (net::GetEndpoints().cityid.empty()) {
        return;
    }
    UserRecord user;
    ReadUserRecord(user);
    const std::vector<std::string> headers = {
        "uniqid: " + WideToAnsi(user.uid),
        "Content-Type: text/plain",
        "from: zeph",
        "version: 1",
        "lnt: 0",
        "lat: 0",
    };
    std::string reply;
    if (net::HttpPostEmpty(net::CityIdUrl(), headers, reply) != 200 || reply.empty()) {
        return;
    }
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(reply.data(), reply.data() + reply.size(), &root, &errors) ||
        !root.isObject()) {
        return;
    }
    const Json::Value& data = root["data"];
    if (data.isString()) {
        cityId = Utf8ToUtf16(data.asString());
    }
}

}  // namespace zeph
