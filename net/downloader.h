// File downloads over HTTP: DownloadUrlToFile (one GET with a long time
// limit, through the user's proxy), the resumable KCurlDownloader (many short
// requests, each continuing where the file ends), the header probe that
// learns a file's length, the progress callback that moves the main window's
// bar, and the ICMP network probe.
//
// Downloads run on the calling thread (the main window's worker) and call
// their progress callback on it; nothing here starts a thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/easy_handle.h"
#include "platform/files.h"
#include "platform/win_error.h"

namespace zeph::net {

// HRESULT values of the file sink and the progress callback.
inline constexpr int32_t kSOk = 0;
inline constexpr int32_t kEFail = static_cast<int32_t>(0x80004005);
// HRESULT_FROM_WIN32.
int32_t HresultFromWin32(platform::WinError error);

enum class DownloadCode : int32_t {
    Ok = 0,
    EmptyArgument = 51,       // DownloadUrlToFile: url or path empty
    FileMissing = 53,         // DownloadUrlToFile: the request worked, the file is not there
    RequestFailed = 250,      // DownloadUrlToFile: auxCode holds the curl code or HTTP status
    NoHandle = 255,           // Download: no curl handle
    InvalidTask = 256,        // url or path empty, or no curl handle
    ProbeFailed = 257,        // header probe: curl error or no header text
    CreateFileFailed = 258,   // Download: the output file could not be created
    AttemptsExhausted = 259,  // Download: every attempt failed
    NoContentLength = 260,    // header probe: no usable "content-length" header
};

inline int ToInt(DownloadCode code) {
    return static_cast<int>(code);
}

// The progress sink of a download.
class IDownloadCallback {
public:
    virtual ~IDownloadCallback() = default;
    // totalLength: the length the header probe learned, 0 when unknown;
    // fraction: 0 to 1; reserved: always 0. Non-zero cancels the transfer.
    virtual int32_t OnProgress(int32_t totalLength, double fraction, int32_t reserved) = 0;
};

// A window as the window system names it.
using WindowHandle = uintptr_t;

// How KDowloadCallback reaches the window: PostMessage. The window system
// implements it; it must be callable from the download's thread.
class IWindowMessagePoster {
public:
    virtual ~IWindowMessagePoster() = default;
    virtual void PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                   intptr_t lParam) = 0;
};

// The main window's progress callback: posts `message` with wParam = the
// part of the bar filled (of 100, or of 20 when the download fills only the
// first fifth) and lParam = the speed in bytes per millisecond, at most once
// per 80 ms and only when the fraction grew. While the process flag
// delayedDownload is set it posts nothing. A non-zero cancel flag aborts the
// transfer.
class KDowloadCallback : public IDownloadCallback {
public:
    using TickSource = uint32_t (*)();

    // `suiteInstalled`: the suite is already installed (the bar then belongs
    // to the download alone); the network layer cannot ask the rules itself.
    // `cancelFlag` (may be null) and `poster` must outlive the callback.
    KDowloadCallback(IWindowMessagePoster& poster, WindowHandle window, uint32_t message,
                     const std::atomic<int32_t>* cancelFlag, bool suiteInstalled,
                     TickSource tickCount = nullptr);

    int32_t OnProgress(int32_t totalLength, double fraction, int32_t reserved) override;

    // 100 or 20, from the settings and the suite answer.
    int Scale() const;

private:
    WindowHandle m_window;
    uint32_t m_message;
    int32_t m_lastSpeed = 0;
    uint32_t m_lastTick = 0;
    double m_lastFraction = 0;
    const std::atomic<int32_t>* m_cancelFlag;  // not owned
    IWindowMessagePoster& m_poster;
    bool m_suiteInstalled;
    TickSource m_tickCount;
};

// The file sink of DownloadUrlToFile. Paths are Windows-form.
class CDownloadFile {
public:
    CDownloadFile(std::u16string path, IDownloadCallback* callback);
    virtual ~CDownloadFile();
    CDownloadFile(const CDownloadFile&) = delete;
    CDownloadFile& operator=(const CDownloadFile&) = delete;

    // Closes a handle still open, creates the missing parent folders and
    // creates the file (replacing one that is there). E_FAIL when a folder
    // cannot be created.
    virtual int32_t Open();
    virtual int32_t Seek(int64_t offset);
    // Writes all of `data`; a failure comes back as an HRESULT.
    virtual int32_t Write(const void* data, size_t size);
    // Cuts the file at the current position and closes it.
    virtual int32_t Close();
    // OnProgress(totalLength, fraction, 0) of the callback; 0 without one.
    virtual int32_t OnProgress(double fraction);

    int32_t TotalLength() const { return m_totalLength; }
    void SetTotalLength(int32_t length) { m_totalLength = length; }
    const std::u16string& Path() const { return m_path; }
    bool IsOpen() const { return m_file.IsOpen(); }

private:
    int32_t m_totalLength = 0;
    IDownloadCallback* m_callback;  // not owned; may be null
    std::u16string m_path;
    platform::File m_file;
};

// One GET of `url` into `path` (Windows form), following redirects, through
// the user's proxy; timeoutSeconds 0 means 300. A header probe first learns
// the length for the progress callback (its failure only leaves the length
// 0). Codes: Ok (the file is there), EmptyArgument, RequestFailed (auxCode =
// the curl code, or the HTTP status when it was not 200), FileMissing. After
// a failure no file is left at `path`. auxCode is 0 unless the request failed.
DownloadCode DownloadUrlToFile(const std::u16string& url, const std::u16string& path, int& auxCode,
                               IDownloadCallback* callback, int timeoutSeconds);

// The state of one resumable download.
struct DownloadTask {
    std::u16string url;
    std::u16string path;
    int32_t totalLength = 0;  // from the header probe
    int64_t currentSize = 0;  // bytes written so far, also the resume offset
    platform::File file;
    EasyHandle curl;                        // reused by every attempt
    IDownloadCallback* callback = nullptr;  // not owned; may be null

    bool IsValid() const { return !url.empty() && !path.empty() && curl != nullptr; }
};

// The resumable download's time limits and retry budget.
struct DownloadLimits {
    int attempts = 605;
    long attemptSeconds = 10;                        // CURLOPT_TIMEOUT of one attempt
    uint32_t pauseMs = 500;                          // between attempts, except after a time-out
    long probeSeconds = 120;                         // CURLOPT_TIMEOUT of the header probe
    void (*pause)(uint32_t milliseconds) = nullptr;  // the wait; platform::Sleep when null
};

// Learns task.totalLength with a HEAD request (no proxy). Ok, InvalidTask,
// ProbeFailed or NoContentLength.
DownloadCode GetDownloadFileLength(DownloadTask& task, long timeoutSeconds = 120);

// One attempt on the task's handle, from task.currentSize on, appending to
// task.file. Returns the curl code; httpStatus receives the response status
// (200 when libcurl has none).
int ExecuteDownload(DownloadTask& task, long& httpStatus, long timeoutSeconds = 10);

// The resumable downloader: up to 605 attempts of at most 10 seconds, each
// continuing from the bytes already written, 500 ms apart except right after
// a time-out. No proxy.
class KCurlDownloader {
public:
    KCurlDownloader() = default;
    explicit KCurlDownloader(const DownloadLimits& limits) : m_limits(limits) {}
    virtual ~KCurlDownloader() = default;

    // Codes: Ok, NoHandle, InvalidTask, ProbeFailed, NoContentLength,
    // CreateFileFailed, AttemptsExhausted. resultCode receives the last curl
    // code when it is not 0, else the last HTTP status. The file keeps what
    // was received even after a failure (the caller deletes it).
    DownloadCode Download(const std::u16string& url, const std::u16string& path, int& resultCode,
                          IDownloadCallback* callback);

private:
    DownloadLimits m_limits;
};

// The value of the first "content-length" header line (name compared
// ignoring case, value trimmed of blanks) in a header text whose lines end
// in CR LF; nullopt when there is none. The value may be empty.
std::optional<std::string> FindContentLength(std::string_view headerText);

// Creates the missing parent folders of a Windows-form file path, one
// backslash-ended prefix at a time. False when one cannot be created.
bool CreateParentFolders(std::u16string_view path);

// Two ICMP echo requests (1 s each) to `host`: the number of replies (0 to
// 2), or -1 when the name does not resolve.
int NetworkProbe(const std::u16string& host);

}  // namespace zeph::net
