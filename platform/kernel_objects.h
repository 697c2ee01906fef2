// Named kernel objects shared between processes: events, mutexes,
// semaphores and file mappings, in the "Global\" and "Local\" namespaces
// (a name without a prefix is Local\, which is per session). Names are
// case-sensitive, and one name holds one object of any type.
//
// Each named object is a small file in the profile's object folder that every
// holder keeps open and locked; an object whose last holder closed it or died
// disappears, so a crashed installer never blocks the next one. Unnamed
// objects (empty name) live in this process only.
//
// Create returns AlreadyExists beside a usable object when the name was
// taken (its first creator's settings stay). Open returns FileNotFound when
// there is no such object, InvalidHandle when the name holds another type
// and AccessDenied when its creator let nobody else open it. Handles may be
// used from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/win_error.h"

namespace zeph::platform {

inline constexpr uint32_t kInfinite = 0xFFFFFFFF;

// WAIT_* numbers.
enum class WaitResult : uint32_t {
    Signaled = 0,      // WAIT_OBJECT_0
    Abandoned = 0x80,  // WAIT_ABANDONED: the mutex's owner died holding it
    Timeout = 0x102,   // WAIT_TIMEOUT
    Failed = 0xFFFFFFFF,
};

// Who may open a named object after its creator (its DACL).
enum class ObjectSecurity : uint8_t {
    Default,   // the creator's user
    Everyone,  // a null DACL
    Nobody,    // an empty DACL: every later open is refused
};

struct ObjectState;

// The common part of every object handle.
class KernelObject {
  public:
    KernelObject();
    ~KernelObject();
    KernelObject(KernelObject&&) noexcept;
    KernelObject& operator=(KernelObject&&) noexcept;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    bool IsOpen() const { return m_state != nullptr; }
    void Close();

  protected:
    std::shared_ptr<ObjectState> m_state;
};

enum class EventReset : uint8_t { Manual, Auto };
enum class EventState : uint8_t { Clear, Set };

class Event : public KernelObject {
  public:
    static WinError Create(std::u16string_view name, EventReset reset, EventState initial,
                           Event& out, ObjectSecurity security = ObjectSecurity::Default);
    static WinError Open(std::u16string_view name, Event& out);

    bool Set();
    bool Reset();
    // An auto-reset event is cleared by the one wait it releases.
    WaitResult Wait(uint32_t timeoutMs);
};

enum class MutexOwner : uint8_t { None, Caller };

class Mutex : public KernelObject {
  public:
    static WinError Create(std::u16string_view name, MutexOwner owner, Mutex& out,
                           ObjectSecurity security = ObjectSecurity::Default);
    static WinError Open(std::u16string_view name, Mutex& out);

    // Owned by the calling thread, recursively. Abandoned when the previous
    // owner died holding it (the caller owns it then).
    WaitResult Wait(uint32_t timeoutMs);
    // NotOwner when the calling thread does not own it.
    WinError Release();
};

class Semaphore : public KernelObject {
  public:
    static WinError Create(std::u16string_view name, int32_t initialCount, int32_t maximumCount,
                           Semaphore& out, ObjectSecurity security = ObjectSecurity::Default);
    static WinError Open(std::u16string_view name, Semaphore& out);

    WaitResult Wait(uint32_t timeoutMs);
    // TooManyPosts when the count would pass the maximum (nothing changes).
    WinError Release(int32_t count, int32_t* previousCount = nullptr);
};

// A named shared memory block (a page-file-backed mapping), mapped read-write
// for as long as the handle is open.
class FileMapping : public KernelObject {
  public:
    static WinError Create(std::u16string_view name, uint64_t size, FileMapping& out,
                           ObjectSecurity security = ObjectSecurity::Default);
    static WinError Open(std::u16string_view name, FileMapping& out);

    void* Data() const;
    uint64_t Size() const;
};

}  // namespace zeph::platform
