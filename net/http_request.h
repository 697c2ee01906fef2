// Small HTTP requests whose reply is kept in memory: the configuration and
// update documents, the software detail record, report records and the city
// lookups. Every URL first passes the suite's URL-rewriting component (when
// installed) and goes to libcurl in the profile's ANSI code page. A reply is
// kept up to kMaxReplyBytes (32 MiB); a longer one fails the request.
//
// All four run on the calling thread; any thread may call them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zeph::net {

// Results besides libcurl's codes and HTTP statuses.
enum class HttpResult : int {
    Ok = 0,
    NoHandle = 2,        // libcurl could not make a handle
    ReplyTooLarge = 63,  // CURLE_FILESIZE_EXCEEDED: more than kMaxReplyBytes
};

// GET with a 10-second limit, following redirects, through the user's proxy.
// 0 with body = the reply; a libcurl code; 2 without a handle; or the HTTP
// status when it is not 200 (body then holds that reply, e.g. the error page).
int HttpGet(const std::u16string& url, std::string& body);

// POST of `data` as it is (form content type, no redirects, 10-second limit,
// user's proxy). 0 with reply = the answer; a libcurl code; 2 without a
// handle; or the HTTP status when it is not 200 (reply then stays empty).
int HttpPost(const std::u16string& url, const void* data, size_t length, std::string& reply);

// Plain POSTs of the city lookups, without proxy or redirects. The result is
// the HTTP status of the reply, or 0 when the URL is empty, no handle could
// be made or any step failed before a status was read; reply receives the
// answer's body.
int HttpPostBytes(const std::u16string& url, const void* data, size_t length, std::string& reply);
// The same with an empty body and the caller's header lines after
// "User-Agent: Mozilla/4.0".
int HttpPostEmpty(const std::u16string& url, const std::vector<std::string>& headerLines,
                  std::string& reply);

}  // namespace zeph::net
