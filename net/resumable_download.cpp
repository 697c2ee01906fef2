// The resumable downloader: the header probe, one attempt, and the attempt
// loop of KCurlDownloader.
#include "base/ascii.h"
#include "base/log.h"
#include "base/numbers.h"
#include "net/curl_easy.h"
#include "net/downloader.h"
#include "platform/clock.h"

namespace zeph::net {
namespace {

// A HEAD reply's header text is small; a server streaming headers without
// end must not grow it without bound.
constexpr size_t kMaxHeaderText = 1024 * 1024;

size_t TaskWrite(char* data, size_t size, size_t count, void* context) {
    auto* task = static_cast<DownloadTask*>(context);
    const size_t n = size * count;
    // An error page (a 503 between two good attempts, say) is no part of the
    // file: written at the resume offset it would corrupt it.
    long status = 0;
    curl_easy_getinfo(task->curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status != 200 && status != 206) {
        return n;
    }
    size_t written = 0;
    const platform::WinError error = task->file.Write(data, n, &written);
    task->currentSize += static_cast<int64_t>(written);
    // A failed write aborts the attempt (CURLE_WRITE_ERROR); the next one
    // resumes after the bytes that did reach the file.
    return error == platform::WinError::Success ? n : written;
}

int TaskProgress(void* context, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
    auto* task = static_cast<DownloadTask*>(context);
    if (task->callback == nullptr) {
        return 0;
    }
    const double fraction = static_cast<double>(total) > 1e-6
                                ? static_cast<double>(now) / static_cast<double>(total)
                                : 0.0;
    return task->callback->OnProgress(task->totalLength, fraction, 0);
}

}  // namespace

std::optional<std::string> FindContentLength(std::string_view headerText) {
    size_t pos = 0;
    while (pos <= headerText.size()) {
        size_t end = headerText.find("\r\n", pos);
        if (end == std::string_view::npos) {
            end = headerText.size();
        }
        const std::string_view line = headerText.substr(pos, end - pos);
        pos = end + 2;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos ||
            !AsciiEqualsIgnoreCase(line.substr(0, colon), "content-length")) {
            continue;
        }
        std::string_view value = line.substr(colon + 1);
        const size_t first = value.find_first_not_of(" \t");
        if (first == std::string_view::npos) {
            return std::string();
        }
        value = value.substr(first, value.find_last_not_of(" \t") - first + 1);
        return std::string(value);
    }
    return std::nullopt;
}

DownloadCode GetDownloadFileLength(DownloadTask& task, long timeoutSeconds) {
    if (!task.IsValid()) {
        return DownloadCode::InvalidTask;
    }
    EasyHandle handle(NewEasyHandle());
    if (!handle) {
        return DownloadCode::ProbeFailed;
    }
    const std::string url = ToAnsi(task.url);
    HeaderList headers;
    AppendDownloadHeaders(headers);
    std::string headerText;
    BoundedBuffer buffer(headerText, kMaxHeaderText);
    Options options(handle.get());
    options.Text(CURLOPT_URL, url.c_str())
        .Headers(headers)
        .Long(CURLOPT_HEADER, 1)
        .Long(CURLOPT_NOBODY, 1)
        .Long(CURLOPT_TIMEOUT, timeoutSeconds)
        .Write(BoundedBuffer::Write, &buffer);
    if (options.Result() != CURLE_OK || curl_easy_perform(handle.get()) != CURLE_OK ||
        headerText.empty()) {
        return DownloadCode::ProbeFailed;
    }
    // The status is not checked: any reply with a length will do.
    const std::optional<std::string> value = FindContentLength(headerText);
    if (!value || value->empty()) {
        return DownloadCode::NoContentLength;
    }
    task.totalLength = Atoi(*value);
    return DownloadCode::Ok;
}

int ExecuteDownload(DownloadTask& task, long& httpStatus, long timeoutSeconds) {
    const std::string url = ToAnsi(task.url);
    CURL* handle = task.curl.get();
    // The handle is reused by every attempt: each option is set again, the
    // range to the bytes the file holds now.
    Options options(handle);
    options.Text(CURLOPT_URL, url.c_str())
        .Long(CURLOPT_HTTPGET, 1)
        .Long(CURLOPT_HEADER, 0)
        .Long(CURLOPT_TIMEOUT, timeoutSeconds)
        .Long(CURLOPT_NOSIGNAL, 1)
        .Write(TaskWrite, &task)
        .Progress(TaskProgress, &task)
        .Offset(CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(task.currentSize))
        .Long(CURLOPT_BUFFERSIZE, kReceiveBuffer);
    if (options.Result() != CURLE_OK) {
        return options.Result();
    }
    const CURLcode result = curl_easy_perform(handle);
    httpStatus = ResponseCode(handle, 200);
    Log("ExecuteDownload ResponseCode = %ld", httpStatus);
    return result;
}

DownloadCode KCurlDownloader::Download(const std::u16string& url, const std::u16string& path,
                                       int& resultCode, IDownloadCallback* callback) {
    DownloadTask task;
    task.url = url;
    task.path = path;
    task.callback = callback;
    task.curl.reset(NewEasyHandle());
    if (!task.curl) {
        return DownloadCode::NoHandle;
    }
    Log("DownloadControl -- Start");
    if (!task.IsValid()) {
        Log("DownloadControl curlExecuter Invalid");
        return DownloadCode::InvalidTask;
    }
    if (const DownloadCode probed = GetDownloadFileLength(task, m_limits.probeSeconds);
        probed != DownloadCode::Ok) {
        Log("DownloadControl GetDownloadFileLength Failure");
        return probed;
    }
    if (platform::FileExists(path)) {
        platform::DeleteFile(path);
    }
    if (!CreateParentFolders(path) ||
        platform::File::Open(path, platform::FileAccess::All, platform::FileShare::Read,
                             platform::Disposition::CreateAlways,
                             task.file) != platform::WinError::Success) {
        Log("DownloadControl CreateFile Failure");
        return DownloadCode::CreateFileFailed;
    }

    DownloadCode result = DownloadCode::AttemptsExhausted;
    int curlCode = 0;
    long httpStatus = 0;
    int count = 1;
    for (; count <= m_limits.attempts; ++count) {
        curlCode = ExecuteDownload(task, httpStatus, m_limits.attemptSeconds);
        Log("DownloadControl -- ExE CurlCode = %d, Count = %d, CurrentSize = %lld, ResCode = %ld",
            curlCode, count, static_cast<long long>(task.currentSize), httpStatus);
        if (curlCode == CURLE_OK && (httpStatus == 200 || httpStatus == 206)) {
            result = DownloadCode::Ok;
            break;
        }
        // The progress callback cancelled: asking again would only be
        // cancelled again, 605 times over.
        if (curlCode == CURLE_ABORTED_BY_CALLBACK) {
            break;
        }
        // A file that was already whole when the last attempt failed: the
        // server refuses the empty range that is left.
        if (curlCode == CURLE_OK && httpStatus == 416 && task.totalLength > 0 &&
            task.currentSize >= task.totalLength) {
            result = DownloadCode::Ok;
            break;
        }
        // A server that ignores ranges sends the whole file again: start over
        // instead of failing every later attempt.
        if (curlCode == CURLE_RANGE_ERROR) {
            task.currentSize = 0;
            task.file.Seek(0, platform::SeekOrigin::Begin);
        }
        if (curlCode != CURLE_OPERATION_TIMEDOUT && count < m_limits.attempts) {
            (m_limits.pause != nullptr ? m_limits.pause : &platform::Sleep)(m_limits.pauseMs);
        }
    }
    task.file.SetEndOfFile();
    task.file.Close();
    resultCode = curlCode != 0 ? curlCode : static_cast<int>(httpStatus);
    Log("DownloadControl -- End HRESULT = %d, Count = %d", ToInt(result), count);
    return result;
}

}  // namespace zeph::net
