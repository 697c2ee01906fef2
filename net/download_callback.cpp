// The main window's progress callback.
#include "base/install_settings.h"
#include "net/downloader.h"
#include "platform/clock.h"

namespace zeph::net {

KDowloadCallback::KDowloadCallback(IWindowMessagePoster& poster, WindowHandle window,
                                   uint32_t message, const std::atomic<int32_t>* cancelFlag,
                                   bool suiteInstalled, TickSource tickCount)
    : m_window(window),
      m_message(message),
      m_cancelFlag(cancelFlag),
      m_poster(poster),
      m_suiteInstalled(suiteInstalled),
      m_tickCount(tickCount != nullptr ? tickCount : &platform::GetTickCount) {}

int KDowloadCallback::Scale() const {
    // The bar belongs to the download alone when nothing else will fill it.
    const InstallSettings& settings = Settings();
    const bool downloadOnly =
        m_suiteInstalled || settings.source == 2 ||
        ((settings.source == 1 || settings.source == 3) && settings.scene == 1);
    return downloadOnly ? 100 : 20;
}

int32_t KDowloadCallback::OnProgress(int32_t totalLength, double fraction, int32_t) {
    if (m_cancelFlag != nullptr && m_cancelFlag->load() != 0) {
        return kEFail;
    }
    if (Flags().delayedDownload) {
        return 0;
    }
    const int scale = Scale();
    const uint32_t now = m_tickCount();
    const uint32_t elapsed = now - m_lastTick;
    if (elapsed > 80 && fraction > m_lastFraction) {
        const auto speed =
            static_cast<int32_t>((fraction - m_lastFraction) * totalLength / elapsed);
        m_poster.PostWindowMessage(
            m_window, m_message, static_cast<uintptr_t>(static_cast<int>(fraction * scale)), speed);
        m_lastFraction = fraction;
        m_lastSpeed = speed;
        m_lastTick = now;
    }
    if (1 - fraction < 0.0001 && scale == 20) {
        // The download's part of the bar is full.
        m_poster.PostWindowMessage(m_window, m_message, 20, m_lastSpeed);
    }
    return 0;
}

}  // namespace zeph::net
