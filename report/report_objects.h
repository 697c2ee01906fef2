// The reports the installer sends. Each object holds the inputs of one
// table (or, for ZEdozureRareReport, of four), builds a record of the public
// block and its table's block, and posts it on the calling thread. Sends are
// fire-and-forget: the result is there for tests and logs only.
//
// Texts a report has no value for are sent empty; channel numbers are
// decimal texts read with the leading-decimal rule ("" reads as 0).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "report/tables.h"

namespace ZEdozureRare {

// The public block's inputs.
struct PublicInputs {
    std::u16string cid;
    std::u16string tid;
    std::u16string kid;
    std::u16string idex;
};

// "0", "0", "0" and the report context's idex: the public block of the
// reports that carry no channel.
PublicInputs AnonymousPublicInputs();

// The install report: install steps (7988), condition results (4680), short
// status (5847) and the main window's events (7213).
//
// Its channel (public block and did) is the report context's at the moment
// of each send, unless SetChannel fixed it. Each Send* stores its arguments,
// refreshes what its table computes afresh (products text, system code,
// scene), builds the record and posts it. One thread at a time (its
// owner's: the install driver's worker, the main window's UI thread).
class ZEdozureRareReport {
  public:
    ZEdozureRareReport() = default;
    virtual void SendCondition(int32_t code, int32_t subcode, int32_t number1, int32_t number2,
                               const std::u16string& text);
    virtual void SendStep(int32_t step, int32_t result, int32_t small, int32_t medium,
                          const std::u16string& text);
    virtual ~ZEdozureRareReport();
    virtual void SendStatus(int32_t what, int32_t value);
    virtual void SendUiEvent(const std::u16string& title, int32_t number, int32_t detail,
                             int32_t kind);

    void SetChannel(PublicInputs channel, std::u16string deviceId);
    void UseContextChannel() { m_fixedChannel = false; }
    // The matched try-number node's "version" attribute.
    void SetConfigVersion(int32_t version) { configVersion = version; }

    // The record of one of the four tables from the members as they are.
    std::optional<std::vector<uint8_t>> Record(zeph::ReportTable table, uint32_t clientTime) const;
    // The SendRecord result of the last send (0 = accepted).
    int LastResult() const { return m_lastResult; }

    PublicInputs channel;
    std::u16string did;

    int32_t reportKind = 4;
    int32_t conditionKind = 2;
    int32_t configVersion = 2;

    // Install step.
    int32_t step = 0;
    int32_t result = 0;
    std::u16string productsJson;
    int32_t systemCode = 0;
    int32_t scene = 0;
    int32_t small = 0;
    int32_t medium = 0;
    std::u16string text;  // also the condition's text

    // Condition result.
    int32_t code = 0;
    int32_t subcode = 0;
    int32_t number1 = 0;
    int32_t number2 = 0;

    // Short status.
    int32_t what = 0;
    int32_t value = 0;

    // Main-window event.
    std::u16string title;
    int32_t number = 0;
    int32_t detail = 0;
    int32_t uiKind = 0;

  private:
    void RefreshChannel();
    void Send(zeph::ReportTable table);

    bool m_fixedChannel = false;
    int m_lastResult = 0;
};

// Table 3769: which programs started the installer (the six texts of the
// launch-provenance probe, each cut to 50 characters) and the channel.
class KProcessInfoReport {
  public:
    // The probe's texts for this process, cid and tid of the report context.
    static KProcessInfoReport Collect();
    std::optional<std::vector<uint8_t>> Record(uint32_t clientTime) const;
    int Send() const;

    std::array<std::u16string, 6> texts;
    int32_t cid = 0;
    int32_t tid = 0;
    std::u16string idex;  // empty: the report context's
};

// Collects and sends the launch-provenance report on a thread of its own
// (the install driver starts it once its initialisation succeeded). The
// caller joins the thread before it goes away.
std::thread StartProcessInfoReportThread();

// Table 5010: a user-interface event of the partner screens (queued) or the
// main window's summary (sent when the window is destroyed).
class KUIInfoReport {
  public:
    // The public block's channel, idex, did and products text from the report
    // context, kind 3.
    static KUIInfoReport FromContext(int32_t action, int32_t value);

    std::optional<std::vector<uint8_t>> Record(uint32_t clientTime) const;
    int Send() const;

    std::array<int32_t, 2> numbers{};  // only the first is sent
    std::u16string cidText;
    std::u16string tidText;
    std::u16string kidText;
    std::u16string idex;
    std::u16string productsJson;
    std::u16string did;
    // Main window: restored from tray, closed by user, hidden to tray,
    // started by user (bits 0 to 3).
    std::array<bool, 4> flags{};
    uint8_t kind = 2;
    int32_t action = 0;
    int32_t value = 0;
};

// The main window's summary in table 5010.
struct MainWindowSummary {
    bool restoredFromTray = false;
    bool closedByUser = false;
    bool hiddenToTray = false;
    bool startedByUser = false;
    int32_t actionFlags = 0;  // 1 custom area expanded, 2 folder chosen in the browser
    bool declinedExit = false;
};
KUIInfoReport MakeMainWindowSummaryReport(const MainWindowSummary& summary);

// Table 4033: the self-update check's outcome.
class KUpdateInfoReport {
  public:
    enum Outcome : int32_t {
        kUpToDateOrStarted = 0,
        kSwitchedOff = 1,
        kNoDocument = 2,
        kNotDrawn = 3,
        kDownloadFailed = 4,
        kBadDownload = 5,
    };

    std::optional<std::vector<uint8_t>> Record(uint32_t clientTime) const;
    int Send() const;

    int32_t outcome = 0;
    int32_t detail = 0;        // 354 no URL, 355 no folder, 356 no digest, else the download's code
    int32_t downloadCode = 0;  // the download's curl result or HTTP status
    std::u16string idex;       // empty: the report context's
};

// Table 8179: the conversion step's outcome.
class OcpcInfoReport {
  public:
    enum Stage : int32_t { kSearching = 1, kFound = 2, kNotFound = 3 };

    std::optional<std::vector<uint8_t>> Record(uint32_t clientTime) const;
    int Send() const;

    int32_t stage = kSearching;
    std::u16string idex;  // empty: the report context's
};

// Table 3806: a crash. Lives inside the crash manager.
class KDumpInfoReport {
  public:
    std::optional<std::vector<uint8_t>> Record(uint32_t clientTime) const;
    int Send() const;

    std::u16string idex;
    std::u16string did;
    int32_t cid = 0;
    int32_t tid = 0;
    std::u16string moduleName;
    std::u16string moduleVersion;
    int32_t exceptionCode = 0;
    int32_t exceptionAddress = 0;
    std::u16string processName;
    std::u16string processVersion;
    int32_t osKind = 0;
    int32_t wow64 = 0;
    int32_t uptimeSeconds = 0;
};

}  // namespace ZEdozureRare
