#include "net/curl_easy.h"

#include <mutex>

#include "base/strings.h"
#include "platform/system_info.h"

namespace zeph::net {

CURL* NewEasyHandle() {
    // curl_global_init is not thread-safe; curl_easy_init would call it
    // implicitly on whichever thread comes first.
    static std::once_flag once;
    static CURLcode globalResult = CURLE_OK;
    std::call_once(once, [] { globalResult = curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (globalResult != CURLE_OK) {
        return nullptr;
    }
    CURL* handle = curl_easy_init();
    if (handle != nullptr) {
        // No proxy unless ApplyProxy sets one: libcurl would otherwise take
        // one from the environment (http_proxy), which the installer's own
        // settings do not name.
        curl_easy_setopt(handle, CURLOPT_PROXY, "");
        // Name resolution must not use signals in a threaded program.
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    }
    return handle;
}

void EasyDeleter::operator()(void* handle) const { curl_easy_cleanup(handle); }

void HeaderList::Append(const std::string& line) {
    if (curl_slist* grown = curl_slist_append(m_list, line.c_str())) {
        m_list = grown;
    }
}

void AppendDownloadHeaders(HeaderList& list) {
    list.Append("Content-Type: application/octet-stream");
    list.Append("User-Agent: Mozilla/4.0");
    list.Append("Accept: */*");
}

Options& Options::Long(CURLoption option, long value) {
    if (m_result == CURLE_OK) {
        m_result = curl_easy_setopt(m_handle, option, value);
    }
    return *this;
}

Options& Options::Offset(CURLoption option, curl_off_t value) {
    if (m_result == CURLE_OK) {
        m_result = curl_easy_setopt(m_handle, option, value);
    }
    return *this;
}

Options& Options::Text(CURLoption option, const char* value) {
    if (m_result == CURLE_OK) {
        m_result = curl_easy_setopt(m_handle, option, value);
    }
    return *this;
}

Options& Options::Pointer(CURLoption option, const void* value) {
    if (m_result == CURLE_OK) {
        m_result = curl_easy_setopt(m_handle, option, value);
    }
    return *this;
}

Options& Options::Headers(const HeaderList& list) {
    if (m_result == CURLE_OK) {
        m_result = curl_easy_setopt(m_handle, CURLOPT_HTTPHEADER, list.Get());
    }
    return *this;
}

Options& Options::Write(curl_write_callback function, void* data) {
    if (m_result == CURLE_OK) {
        m_result = curl_easy_setopt(m_handle, CURLOPT_WRITEFUNCTION, function);
    }
    if (m_result == CURLE_OK) {
        m_result = curl_easy_setopt(m_handle, CURLOPT_WRITEDATA, data);
    }
    return *this;
}

Options& Options::Progress(curl_xferinfo_callback function, void* data) {
    if (m_result == CURLE_OK) {
        m_result = curl_easy_setopt(m_handle, CURLOPT_NOPROGRESS, 0L);
    }
    if (m_result == CURLE_OK) {
        m_result = curl_easy_setopt(m_handle, CURLOPT_XFERINFOFUNCTION, function);
    }
    if (m_result == CURLE_OK) {
        m_result = curl_easy_setopt(m_handle, CURLOPT_XFERINFODATA, data);
    }
    return *this;
}

size_t BoundedBuffer::Write(char* data, size_t size, size_t count, void* self) {
    auto* buffer = static_cast<BoundedBuffer*>(self);
    const size_t n = size * count;
    if (n > buffer->m_limit - buffer->m_out.size()) {
        buffer->m_overflowed = true;
        return 0;
    }
    buffer->m_out.append(data, n);
    return n;
}

std::string ToAnsi(std::u16string_view text) {
    return Utf16ToCodePage(text, platform::GetAnsiCodePage());
}

long ResponseCode(CURL* handle, long fallback) {
    long status = fallback;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

}  // namespace zeph::net
