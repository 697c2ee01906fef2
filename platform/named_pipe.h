// Named pipes (\\.\pipe\name): a server that accepts connections and the
// clients that connect to it, byte streams in both directions. A pipe exists
// while its server is open; it disappears with its server's process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/win_error.h"

namespace zeph::platform {

class NamedPipe {
  public:
    NamedPipe() = default;
    ~NamedPipe();
    NamedPipe(NamedPipe&& other) noexcept;
    NamedPipe& operator=(NamedPipe&& other) noexcept;
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    // `name` is "\\.\pipe\x" or just "x". AccessDenied when a live server
    // already has the name.
    static WinError CreateServer(std::u16string_view name, NamedPipe& out);
    // ConnectNamedPipe on a server: the next client's connection.
    // WaitTimeout when none came in time.
    WinError Accept(uint32_t timeoutMs, NamedPipe& connection);
    // CreateFile on the pipe: FileNotFound when no server has the name.
    static WinError Connect(std::u16string_view name, NamedPipe& out);

    bool IsOpen() const { return m_fd >= 0; }
    void Close();
    // BrokenPipe when the other end closed and nothing is left to read.
    WinError Read(void* buffer, size_t size, size_t* done);
    WinError Write(const void* data, size_t size, size_t* done = nullptr);

    // Takes over the descriptor (used by File::Open on "\\.\pipe\").
    int Release();

  private:
    int m_fd = -1;
};

}  // namespace zeph::platform
