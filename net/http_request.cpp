#include "net/http_request.h"

#include "base/log.h"
#include "net/curl_easy.h"
#include "net/proxy.h"
#include "net/url_rewrite.h"

namespace zeph::net {
namespace {

// libcurl reads the body from POSTFIELDS; a null pointer would make it read
// the body from standard input instead.
const char* BodyPointer(const void* data) {
    return data != nullptr ? static_cast<const char*>(data) : "";
}

int TooLarge(const char* what, const std::string& url) {
    Log("%s: reply larger than %zu bytes refused: %s", what, kMaxReplyBytes, url.c_str());
    return static_cast<int>(HttpResult::ReplyTooLarge);
}

// The two plain POSTs of the city lookups share everything but the body, the
// header lines and the time limits.
int PlainPost(const std::u16string& url, const char* body, size_t length, const HeaderList& headers,
              long timeoutSeconds, std::string& reply) {
    reply.clear();
    if (url.empty()) {
        return 0;
    }
    const std::string ansiUrl = ToAnsi(RewriteUrl(url));
    EasyHandle handle(NewEasyHandle());
    if (!handle) {
        return 0;
    }
    BoundedBuffer buffer(reply);
    Options options(handle.get());
    options.Text(CURLOPT_URL, ansiUrl.c_str())
        .Long(CURLOPT_POST, 1)
        .Pointer(CURLOPT_POSTFIELDS, body)
        .Offset(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length))
        .Headers(headers)
        .Long(CURLOPT_TIMEOUT, timeoutSeconds)
        .Long(CURLOPT_CONNECTTIMEOUT, timeoutSeconds)
        .Write(BoundedBuffer::Write, &buffer);
    long status = 0;
    if (options.Result() != CURLE_OK || curl_easy_perform(handle.get()) != CURLE_OK ||
        curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) {
        // A half-received answer is no answer: callers take any non-empty
        // reply as the service's.
        if (buffer.Overflowed()) {
            TooLarge("HttpPost", ansiUrl);
        }
        reply.clear();
        return 0;
    }
    return static_cast<int>(status);
}

}  // namespace

int HttpGet(const std::u16string& url, std::string& body) {
    body.clear();
    const std::string ansiUrl = ToAnsi(RewriteUrl(url));
    EasyHandle handle(NewEasyHandle());
    if (!handle) {
        return static_cast<int>(HttpResult::NoHandle);
    }
    HeaderList headers;
    AppendDownloadHeaders(headers);
    BoundedBuffer buffer(body);
    Options options(handle.get());
    options.Text(CURLOPT_URL, ansiUrl.c_str())
        .Long(CURLOPT_HTTPGET, 1)
        .Headers(headers)
        .Long(CURLOPT_TIMEOUT, 10)
        .Long(CURLOPT_CONNECTTIMEOUT, 10)
        .Write(BoundedBuffer::Write, &buffer)
        .Long(CURLOPT_FOLLOWLOCATION, 1)
        .Offset(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxReplyBytes));
    if (options.Result() != CURLE_OK) {
        return options.Result();
    }
    if (const int proxy = ApplyProxy(handle.get()); proxy != 0) {
        return proxy;
    }
    const CURLcode performed = curl_easy_perform(handle.get());
    if (buffer.Overflowed() || performed == CURLE_FILESIZE_EXCEEDED) {
        body.clear();
        return TooLarge("HttpGet", ansiUrl);
    }
    if (performed != CURLE_OK) {
        return performed;
    }
    const long status = ResponseCode(handle.get(), 0);
    return status == 200 ? 0 : static_cast<int>(status);
}

int HttpPost(const std::u16string& url, const void* data, size_t length, std::string& reply) {
    reply.clear();
    const std::string ansiUrl = ToAnsi(RewriteUrl(url));
    EasyHandle handle(NewEasyHandle());
    if (!handle) {
        return static_cast<int>(HttpResult::NoHandle);
    }
    HeaderList headers;
    headers.Append("Content-Type: application/x-www-form-urlencoded");
    headers.Append("User-Agent: Mozilla/4.0");
    headers.Append("Accept: */*");
    std::string received;
    BoundedBuffer buffer(received);
    Options options(handle.get());
    options.Text(CURLOPT_URL, ansiUrl.c_str())
        .Long(CURLOPT_POST, 1)
        .Pointer(CURLOPT_POSTFIELDS, BodyPointer(data))
        .Offset(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length))
        .Headers(headers)
        .Long(CURLOPT_TIMEOUT, 10)
        .Long(CURLOPT_CONNECTTIMEOUT, 10)
        .Write(BoundedBuffer::Write, &buffer)
        .Offset(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxReplyBytes));
    if (options.Result() != CURLE_OK) {
        return options.Result();
    }
    if (const int proxy = ApplyProxy(handle.get()); proxy != 0) {
        return proxy;
    }
    const CURLcode performed = curl_easy_perform(handle.get());
    if (buffer.Overflowed() || performed == CURLE_FILESIZE_EXCEEDED) {
        return TooLarge("HttpPost", ansiUrl);
    }
    if (performed != CURLE_OK) {
        return performed;
    }
    long status = 0;
    const CURLcode statusRead = curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
    if (statusRead != CURLE_OK || status == 200) {
        reply = std::move(received);
        return statusRead;
    }
    return static_cast<int>(status);
}

int HttpPostBytes(const std::u16string& url, const void* data, size_t length, std::string& reply) {
    HeaderList headers;
    headers.Append("Content-Type: application/octet-stream");
    headers.Append("User-Agent: Mozilla/4.0");
    // The limits of both city lookups are seconds, as libcurl counts them.
    return PlainPost(url, BodyPointer(data), length, headers, 5000, reply);
}

int HttpPostEmpty(const std::u16string& url, const std::vector<std::string>& headerLines,
                  std::string& reply) {
    HeaderList headers;
    headers.Append("User-Agent: Mozilla/4.0");
    for (const std::string& line : headerLines) {
        headers.Append(line);
    }
    return PlainPost(url, "", 0, headers, 10000, reply);
}

}  // namespace zeph::net
