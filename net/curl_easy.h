// Small helpers around libcurl's easy interface shared by the transfers of
// this folder: one-time global set-up, owned handles and header lists,
// options set in order until the first one fails, bounded in-memory replies,
// and the ANSI text libcurl is handed.
#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "net/easy_handle.h"

namespace zeph::net {

// Replies kept in memory (small requests, header text) stop here: a server
// that sends more cannot make the installer's memory grow without bound.
inline constexpr size_t kMaxReplyBytes = 32 * 1024 * 1024;

// libcurl's receive buffer for file downloads: larger than its 16 KiB
// default, so that a file is written in fewer, larger pieces.
inline constexpr long kReceiveBuffer = 512 * 1024;

// curl_easy_init after libcurl's global set-up, which runs once per process
// whatever thread comes first. Null when libcurl cannot make a handle. The
// handle uses no proxy (not even one from the environment) until ApplyProxy
// sets one, and no signals.
CURL* NewEasyHandle();


// A curl_slist of request header lines, freed with the object.
class HeaderList {
public:
    HeaderList() = default;
    ~HeaderList() { curl_slist_free_all(m_list); }
    HeaderList(const HeaderList&) = delete;
    HeaderList& operator=(const HeaderList&) = delete;

    void Append(const std::string& line);
    curl_slist* Get() const { return m_list; }

private:
    curl_slist* m_list = nullptr;
};

// The three header lines of file downloads and GET requests.
void AppendDownloadHeaders(HeaderList& list);

// Sets options one after another; after the first failure the rest are
// skipped and Result() keeps that failure. Each setter passes the exact type
// libcurl reads for its option.
class Options {
public:
    explicit Options(CURL* handle) : m_handle(handle) {}

    Options& Long(CURLoption option, long value);
    Options& Offset(CURLoption option, curl_off_t value);
    Options& Text(CURLoption option, const char* value);
    Options& Pointer(CURLoption option, const void* value);
    Options& Headers(const HeaderList& list);
    Options& Write(curl_write_callback function, void* data);
    Options& Progress(curl_xferinfo_callback function, void* data);

    CURLcode Result() const { return m_result; }

private:
    CURL* m_handle;
    CURLcode m_result = CURLE_OK;
};

// A write callback target that appends to a string up to a limit; a reply
// beyond it aborts the transfer (libcurl then reports CURLE_WRITE_ERROR,
// which the caller turns into CURLE_FILESIZE_EXCEEDED through Overflowed()).
class BoundedBuffer {
public:
    explicit BoundedBuffer(std::string& out, size_t limit = kMaxReplyBytes)
        : m_out(out), m_limit(limit) {}

    static size_t Write(char* data, size_t size, size_t count, void* self);
    bool Overflowed() const { return m_overflowed; }

private:
    std::string& m_out;
    size_t m_limit;
    bool m_overflowed = false;
};

// Wide text in the profile's ANSI code page, for libcurl.
std::string ToAnsi(std::u16string_view text);

// The response status of the last transfer; `fallback` when libcurl has
// none to give.
long ResponseCode(CURL* handle, long fallback);

}  // namespace zeph::net
