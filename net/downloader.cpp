// DownloadUrlToFile and its file sink.
#include "net/downloader.h"

#include "base/ascii.h"
#include "base/log.h"
#include "base/strings.h"
#include "net/curl_easy.h"
#include "net/proxy.h"

namespace zeph::net {
namespace {

size_t SinkWrite(char* data, size_t size, size_t count, void* sink) {
    const size_t n = size * count;
    // A short count makes libcurl abort with CURLE_WRITE_ERROR.
    return static_cast<CDownloadFile*>(sink)->Write(data, n) == kSOk ? n : 0;
}

int SinkProgress(void* sink, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
    const double fraction = static_cast<double>(total) > 1e-6
                                ? static_cast<double>(now) / static_cast<double>(total)
                                : 0.0;
    return static_cast<CDownloadFile*>(sink)->OnProgress(fraction);
}

// One GET into the sink: the curl code, or the HTTP status when it was not
// 200, or 0.
int SingleRequest(CDownloadFile& sink, const std::u16string& url, long timeoutSeconds) {
    EasyHandle handle(NewEasyHandle());
    if (!handle) {
        return CURLE_FAILED_INIT;
    }
    const std::string ansiUrl = ToAnsi(url);
    HeaderList headers;
    AppendDownloadHeaders(headers);
    Options options(handle.get());
    options.Text(CURLOPT_URL, ansiUrl.c_str())
        .Long(CURLOPT_HTTPGET, 1)
        .Headers(headers)
        .Long(CURLOPT_TIMEOUT, timeoutSeconds)
        .Long(CURLOPT_CONNECTTIMEOUT, 10)
        .Write(SinkWrite, &sink)
        .Progress(SinkProgress, &sink)
        .Long(CURLOPT_FOLLOWLOCATION, 1)
        .Long(CURLOPT_BUFFERSIZE, kReceiveBuffer);
    if (options.Result() != CURLE_OK) {
        return options.Result();
    }
    if (const int proxy = ApplyProxy(handle.get()); proxy != 0) {
        return proxy;
    }
    if (sink.Open() != kSOk) {
        // Without a file there is nothing to receive into: the request is
        // not sent and fails as a failed write would.
        Log("DownloadUrlToFile cannot create %s", U8(sink.Path()).c_str());
        return CURLE_WRITE_ERROR;
    }
    int result = curl_easy_perform(handle.get());
    if (result == CURLE_OK) {
        const long status = ResponseCode(handle.get(), 0);
        if (status != 200) {
            result = static_cast<int>(status);
        }
    }
    sink.Close();
    return result;
}

}  // namespace

int32_t HresultFromWin32(platform::WinError error) {
    const uint32_t code = platform::ToNumber(error);
    if (code == 0) {
        return kSOk;
    }
    return static_cast<int32_t>((code & 0xFFFFu) | 0x80070000u);
}

bool CreateParentFolders(std::u16string_view path) {
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] != u'\\') {
            continue;
        }
        const std::u16string_view folder = path.substr(0, i + 1);
        if (!platform::DirectoryExists(folder) &&
            platform::CreateDirectory(folder) != platform::WinError::Success &&
            !platform::DirectoryExists(folder)) {
            return false;
        }
    }
    return true;
}

CDownloadFile::CDownloadFile(std::u16string path, IDownloadCallback* callback)
    : m_callback(callback), m_path(std::move(path)) {}

CDownloadFile::~CDownloadFile() = default;

int32_t CDownloadFile::Open() {
    m_file.Close();
    if (!CreateParentFolders(m_path)) {
        return kEFail;
    }
    return HresultFromWin32(platform::File::Open(m_path, platform::FileAccess::All,
                                                 platform::FileShare::Read,
                                                 platform::Disposition::CreateAlways, m_file));
}

int32_t CDownloadFile::Seek(int64_t offset) {
    return HresultFromWin32(m_file.Seek(offset, platform::SeekOrigin::Begin));
}

int32_t CDownloadFile::Write(const void* data, size_t size) {
    return HresultFromWin32(m_file.Write(data, size));
}

int32_t CDownloadFile::Close() {
    if (!m_file.IsOpen()) {
        return kSOk;
    }
    const platform::WinError cut = m_file.SetEndOfFile();
    m_file.Close();
    return HresultFromWin32(cut);
}

int32_t CDownloadFile::OnProgress(double fraction) {
    return m_callback != nullptr ? m_callback->OnProgress(m_totalLength, fraction, 0) : 0;
}

DownloadCode DownloadUrlToFile(const std::u16string& url, const std::u16string& path, int& auxCode,
                               IDownloadCallback* callback, int timeoutSeconds) {
    auxCode = 0;
    if (url.empty() || path.empty()) {
        return DownloadCode::EmptyArgument;
    }
    CDownloadFile sink(path, callback);
    {
        DownloadTask probe;
        probe.url = url;
        probe.path = path;
        probe.curl.reset(NewEasyHandle());
        if (GetDownloadFileLength(probe) == DownloadCode::Ok) {
            sink.SetTotalLength(probe.totalLength);
        }
    }
    if (platform::FileExists(path)) {
        platform::DeleteFile(path);
    }
    const int result = SingleRequest(sink, url, timeoutSeconds != 0 ? timeoutSeconds : 300);
    if (result != 0) {
        // Nothing half-written stays behind, whatever step failed.
        sink.Close();
        if (platform::FileExists(path) &&
            platform::DeleteFile(path) != platform::WinError::Success) {
            Log("DownloadUrlToFile cannot delete %s", U8(path).c_str());
        }
        auxCode = result;
        return DownloadCode::RequestFailed;
    }
    return platform::FileExists(path) ? DownloadCode::Ok : DownloadCode::FileMissing;
}

}  // namespace zeph::net
