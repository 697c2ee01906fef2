#include "platform/kernel_objects.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "base/ascii.h"
#include "base/md5.h"
#include "base/strings.h"
#include "platform/host_io.h"
#include "platform/profile.h"

namespace zeph::platform {

enum class ObjectType : uint32_t {
    Event = 1,
    Mutex = 2,
    Semaphore = 3,
    Mapping = 4,
};

namespace {

constexpr uint32_t kMagic = 0x424F4B5A;  // "ZKOB"
constexpr size_t kHeaderSize = 4096;     // a mapping's data starts on the next page

// The shared part of an object, at the start of its file. `state` is the
// event's signal, the semaphore's count or the mutex owner's thread id.
struct ObjectHeader {
    uint32_t magic;
    uint32_t type;
    uint32_t security;
    uint32_t ownerUid;
    uint64_t dataSize;
    uint32_t state;
    uint32_t param;  // manual-reset flag, or the semaphore's maximum
    uint32_t ready;
    uint32_t reserved;
};

std::atomic_ref<uint32_t> Word(uint32_t& word) {
    return std::atomic_ref<uint32_t>(word);
}

int64_t NowMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Waits while *word == expected, at most `ms` milliseconds (shared futex:
// works between processes on a shared mapping).
void FutexWait(uint32_t* word, uint32_t expected, int64_t ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
    ::syscall(SYS_futex, word, FUTEX_WAIT, expected, &ts, nullptr, 0);
}

void FutexWakeAll(uint32_t* word) {
    ::syscall(SYS_futex, word, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

uint32_t CurrentThreadId() {
    return static_cast<uint32_t>(::syscall(SYS_gettid));
}

bool ThreadIsAlive(uint32_t tid) {
    if (::kill(static_cast<pid_t>(tid), 0) != 0 && errno == ESRCH) {
        return false;
    }
    // A process that ended but was not reaped yet still answers kill().
    std::string stat;
    if (const int err = ReadHostFile("/proc/" + std::to_string(tid) + "/stat", stat); err != 0) {
        return err == EACCES;
    }
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) {
        return true;
    }
    const char state = stat[close + 2];
    return state != 'Z' && state != 'X';
}

std::string EscapeName(std::u16string_view name) {
    std::string out;
    for (unsigned char c : U8(name)) {
        const bool safe = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                          (c >= 'A' && c <= 'Z') || c == '.' || c == '-' || c == '_' || c == '{' ||
                          c == '}';
        if (safe && !(out.empty() && c == '.')) {
            out.push_back(static_cast<char>(c));
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        }
    }
    if (out.size() > 200) {
        out = out.substr(0, 150) + "~" + ToHex(Md5(out), HexCase::Lower);
    }
    return out;
}

// "Global\x" and "Local\x"; a bare name is Local. A backslash left in the
// name is not allowed.
WinError ObjectPath(std::u16string_view name, std::string& dir, std::string& file) {
    const auto profile = CurrentProfile();
    std::string space = "session-" + std::to_string(profile->Facts().sessionId);
    if (AsciiStartsWithIgnoreCase(name, u"Global\\")) {
        name.remove_prefix(7);
        space = "global";
    } else if (AsciiStartsWithIgnoreCase(name, u"Local\\")) {
        name.remove_prefix(6);
    }
    if (name.empty() || name.find(u'\\') != std::u16string_view::npos) {
        return WinError::PathNotFound;
    }
    if (name.size() > 260) {
        return WinError::FilenameExcedRange;
    }
    dir = profile->ObjectDir() + "/" + space;
    file = dir + "/" + EscapeName(name);
    return WinError::Success;
}

}  // namespace

struct ObjectState {
    std::string path;  // empty for an unnamed object
    std::string dir;
    int fd = -1;
    ObjectHeader* header = nullptr;
    size_t mapSize = 0;
    ObjectType type = ObjectType::Event;
    uint32_t recursion = 0;  // the owning thread's count, for a mutex

    ~ObjectState() {
        if (header) {
            ::munmap(header, mapSize);
        }
        if (fd < 0) {
            return;
        }
        HostFileLock nsLock(dir + "/.lock");
        // The last holder removes the file; when others still hold it the
        // exclusive lock fails and the file stays.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.c_str());
        }
        ::close(fd);
    }
};

namespace {

std::mutex g_objectsMutex;
std::map<std::string, std::weak_ptr<ObjectState>> g_objects;

struct CreateParams {
    ObjectSecurity security = ObjectSecurity::Default;
    uint64_t dataSize = 0;
    uint32_t state = 0;
    uint32_t param = 0;
};

WinError CheckExisting(const ObjectState& state, ObjectType type) {
    const ObjectHeader& h = *state.header;
    if (h.security == static_cast<uint32_t>(ObjectSecurity::Nobody)) {
        return WinError::AccessDenied;
    }
    if (h.security == static_cast<uint32_t>(ObjectSecurity::Default) && h.ownerUid != ::geteuid() &&
        ::geteuid() != 0) {
        return WinError::AccessDenied;
    }
    if (state.type != type) {
        return WinError::InvalidHandle;
    }
    return WinError::Success;
}

size_t MapSizeFor(uint64_t dataSize) {
    if (dataSize == 0) {
        return kHeaderSize;
    }
    const uint64_t page = 4096;
    return kHeaderSize + static_cast<size_t>((dataSize + page - 1) / page * page);
}

void Initialise(ObjectHeader& h, ObjectType type, const CreateParams& params) {
    h.magic = kMagic;
    h.type = static_cast<uint32_t>(type);
    h.security = static_cast<uint32_t>(params.security);
    h.ownerUid = ::geteuid();
    h.dataSize = params.dataSize;
    h.state = params.state;
    h.param = params.param;
    Word(h.ready).store(1);
}

// Opens (params null) or creates the object of `name`. `created` tells
// whether a new object was made.
WinError Acquire(std::u16string_view name, ObjectType type, const CreateParams* params,
                 std::shared_ptr<ObjectState>& out, bool& created) {
    created = false;
    if (name.empty()) {
        if (params == nullptr) {
            return WinError::InvalidParameter;
        }
        auto state = std::make_shared<ObjectState>();
        state->type = type;
        state->mapSize = MapSizeFor(params->dataSize);
        void* map = ::mmap(nullptr, state->mapSize, PROT_READ | PROT_WRITE,
                           MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) {
            return WinError::NotEnoughMemory;
        }
        state->header = static_cast<ObjectHeader*>(map);
        Initialise(*state->header, type, *params);
        created = true;
        out = std::move(state);
        return WinError::Success;
    }
    std::string dir, file;
    if (const WinError e = ObjectPath(name, dir, file); e != WinError::Success) {
        return e;
    }
    std::lock_guard processLock(g_objectsMutex);
    if (auto it = g_objects.find(file); it != g_objects.end()) {
        if (auto existing = it->second.lock()) {
            if (const WinError e = CheckExisting(*existing, type); e != WinError::Success) {
                return e;
            }
            out = std::move(existing);
            return WinError::Success;
        }
        g_objects.erase(it);
    }
    if (const int err = MakeHostDirs(dir, 0700); err != 0) {
        return WinErrorFromErrno(err);
    }
    // Declared before the namespace lock so that a half-made object, whose
    // destructor takes that lock, is destroyed after it is released.
    std::shared_ptr<ObjectState> state;
    HostFileLock nsLock(dir + "/.lock");
    if (nsLock.Error() != 0) {
        return WinErrorFromErrno(nsLock.Error());
    }
    state = std::make_shared<ObjectState>();
    state->path = file;
    state->dir = dir;
    state->type = type;
    state->fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    bool fresh = false;
    if (state->fd >= 0) {
        if (::flock(state->fd, LOCK_EX | LOCK_NB) == 0) {
            // Nobody holds it: its last holder died without closing it.
            if (params == nullptr) {
                ::unlink(file.c_str());
                ::close(state->fd);
                state->fd = -1;
                return WinError::FileNotFound;
            }
            fresh = true;
            if (::ftruncate(state->fd, 0) != 0) {
                return WinErrorFromErrno(errno);
            }
        } else {
            ::flock(state->fd, LOCK_SH);
        }
    } else if (errno == ENOENT) {
        if (params == nullptr) {
            return WinError::FileNotFound;
        }
        state->fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (state->fd < 0) {
            return WinErrorFromErrno(errno);
        }
        ::flock(state->fd, LOCK_EX);
        fresh = true;
    } else {
        return WinErrorFromErrno(errno);
    }

    if (fresh) {
        state->mapSize = MapSizeFor(params->dataSize);
        if (::ftruncate(state->fd, static_cast<off_t>(state->mapSize)) != 0) {
            const WinError e = WinErrorFromErrno(errno);
            ::unlink(file.c_str());
            return e;
        }
    } else {
        struct stat st {};
        if (::fstat(state->fd, &st) != 0 || static_cast<size_t>(st.st_size) < kHeaderSize) {
            return WinError::InvalidHandle;
        }
        state->mapSize = static_cast<size_t>(st.st_size);
    }
    void* map = ::mmap(nullptr, state->mapSize, PROT_READ | PROT_WRITE, MAP_SHARED, state->fd, 0);
    if (map == MAP_FAILED) {
        return WinError::NotEnoughMemory;
    }
    state->header = static_cast<ObjectHeader*>(map);
    if (fresh) {
        Initialise(*state->header, type, *params);
        ::flock(state->fd, LOCK_SH);
        created = true;
    } else {
        if (state->header->magic != kMagic || Word(state->header->ready).load() != 1) {
            return WinError::InvalidHandle;
        }
        state->type = static_cast<ObjectType>(state->header->type);
        if (const WinError e = CheckExisting(*state, type); e != WinError::Success) {
            return e;
        }
    }
    g_objects[file] = state;
    out = std::move(state);
    return WinError::Success;
}

WinError Finish(WinError acquired, bool created, bool creating) {
    if (acquired != WinError::Success) {
        return acquired;
    }
    return creating && !created ? WinError::AlreadyExists : WinError::Success;
}

}  // namespace

KernelObject::KernelObject() = default;
KernelObject::~KernelObject() = default;
KernelObject::KernelObject(KernelObject&&) noexcept = default;
KernelObject& KernelObject::operator=(KernelObject&&) noexcept = default;
void KernelObject::Close() {
    m_state.reset();
}

WinError Event::Create(std::u16string_view name, EventReset reset, EventState initial, Event& out,
                       ObjectSecurity security) {
    out.Close();
    CreateParams params;
    params.security = security;
    params.state = initial == EventState::Set ? 1 : 0;
    params.param = reset == EventReset::Manual ? 1 : 0;
    bool created = false;
    const WinError e = Acquire(name, ObjectType::Event, &params, out.m_state, created);
    return Finish(e, created, true);
}

WinError Event::Open(std::u16string_view name, Event& out) {
    out.Close();
    bool created = false;
    return Acquire(name, ObjectType::Event, nullptr, out.m_state, created);
}

bool Event::Set() {
    if (!m_state) {
        return false;
    }
    Word(m_state->header->state).store(1);
    FutexWakeAll(&m_state->header->state);
    return true;
}

bool Event::Reset() {
    if (!m_state) {
        return false;
    }
    Word(m_state->header->state).store(0);
    return true;
}

WaitResult Event::Wait(uint32_t timeoutMs) {
    if (!m_state) {
        return WaitResult::Failed;
    }
    ObjectHeader& h = *m_state->header;
    const bool manual = h.param != 0;
    const int64_t deadline = timeoutMs == kInfinite ? INT64_MAX : NowMs() + timeoutMs;
    for (;;) {
        uint32_t current = Word(h.state).load();
        if (current != 0) {
            if (manual || Word(h.state).compare_exchange_strong(current, 0)) {
                return WaitResult::Signaled;
            }
            continue;
        }
        const int64_t left = deadline - NowMs();
        if (left <= 0) {
            return WaitResult::Timeout;
        }
        FutexWait(&h.state, 0, std::min<int64_t>(left, 1000));
    }
}

WinError Mutex::Create(std::u16string_view name, MutexOwner owner, Mutex& out,
                       ObjectSecurity security) {
    out.Close();
    CreateParams params;
    params.security = security;
    params.state = owner == MutexOwner::Caller ? CurrentThreadId() : 0;
    bool created = false;
    const WinError e = Acquire(name, ObjectType::Mutex, &params, out.m_state, created);
    if (e == WinError::Success && created && owner == MutexOwner::Caller) {
        out.m_state->recursion = 1;
    }
    return Finish(e, created, true);
}

WinError Mutex::Open(std::u16string_view name, Mutex& out) {
    out.Close();
    bool created = false;
    return Acquire(name, ObjectType::Mutex, nullptr, out.m_state, created);
}

WaitResult Mutex::Wait(uint32_t timeoutMs) {
    if (!m_state) {
        return WaitResult::Failed;
    }
    ObjectHeader& h = *m_state->header;
    const uint32_t self = CurrentThreadId();
    if (Word(h.state).load() == self) {
        ++m_state->recursion;
        return WaitResult::Signaled;
    }
    const int64_t deadline = timeoutMs == kInfinite ? INT64_MAX : NowMs() + timeoutMs;
    for (;;) {
        uint32_t owner = Word(h.state).load();
        if (owner == 0) {
            if (Word(h.state).compare_exchange_strong(owner, self)) {
                m_state->recursion = 1;
                return WaitResult::Signaled;
            }
            continue;
        }
        if (!ThreadIsAlive(owner)) {
            if (Word(h.state).compare_exchange_strong(owner, self)) {
                m_state->recursion = 1;
                return WaitResult::Abandoned;
            }
            continue;
        }
        const int64_t left = deadline - NowMs();
        if (left <= 0) {
            return WaitResult::Timeout;
        }
        // Short slices: an owner that dies wakes nobody.
        FutexWait(&h.state, owner, std::min<int64_t>(left, 50));
    }
}

WinError Mutex::Release() {
    if (!m_state) {
        return WinError::InvalidHandle;
    }
    ObjectHeader& h = *m_state->header;
    if (Word(h.state).load() != CurrentThreadId()) {
        return WinError::NotOwner;
    }
    if (--m_state->recursion == 0) {
        Word(h.state).store(0);
        FutexWakeAll(&h.state);
    }
    return WinError::Success;
}

WinError Semaphore::Create(std::u16string_view name, int32_t initialCount, int32_t maximumCount,
                           Semaphore& out, ObjectSecurity security) {
    out.Close();
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        return WinError::InvalidParameter;
    }
    CreateParams params;
    params.security = security;
    params.state = static_cast<uint32_t>(initialCount);
    params.param = static_cast<uint32_t>(maximumCount);
    bool created = false;
    const WinError e = Acquire(name, ObjectType::Semaphore, &params, out.m_state, created);
    return Finish(e, created, true);
}

WinError Semaphore::Open(std::u16string_view name, Semaphore& out) {
    out.Close();
    bool created = false;
    return Acquire(name, ObjectType::Semaphore, nullptr, out.m_state, created);
}

WaitResult Semaphore::Wait(uint32_t timeoutMs) {
    if (!m_state) {
        return WaitResult::Failed;
    }
    ObjectHeader& h = *m_state->header;
    const int64_t deadline = timeoutMs == kInfinite ? INT64_MAX : NowMs() + timeoutMs;
    for (;;) {
        uint32_t count = Word(h.state).load();
        if (count > 0) {
            if (Word(h.state).compare_exchange_strong(count, count - 1)) {
                return WaitResult::Signaled;
            }
            continue;
        }
        const int64_t left = deadline - NowMs();
        if (left <= 0) {
            return WaitResult::Timeout;
        }
        FutexWait(&h.state, 0, std::min<int64_t>(left, 1000));
    }
}

WinError Semaphore::Release(int32_t count, int32_t* previousCount) {
    if (!m_state) {
        return WinError::InvalidHandle;
    }
    if (count <= 0) {
        return WinError::InvalidParameter;
    }
    ObjectHeader& h = *m_state->header;
    uint32_t current = Word(h.state).load();
    for (;;) {
        if (static_cast<uint64_t>(current) + static_cast<uint32_t>(count) > h.param) {
            return WinError::TooManyPosts;
        }
        if (Word(h.state).compare_exchange_weak(current, current + static_cast<uint32_t>(count))) {
            break;
        }
    }
    if (previousCount) {
        *previousCount = static_cast<int32_t>(current);
    }
    FutexWakeAll(&h.state);
    return WinError::Success;
}

WinError FileMapping::Create(std::u16string_view name, uint64_t size, FileMapping& out,
                             ObjectSecurity security) {
    out.Close();
    if (size == 0) {
        return WinError::InvalidParameter;
    }
    CreateParams params;
    params.security = security;
    params.dataSize = size;
    bool created = false;
    const WinError e = Acquire(name, ObjectType::Mapping, &params, out.m_state, created);
    return Finish(e, created, true);
}

WinError FileMapping::Open(std::u16string_view name, FileMapping& out) {
    out.Close();
    bool created = false;
    return Acquire(name, ObjectType::Mapping, nullptr, out.m_state, created);
}

void* FileMapping::Data() const {
    return m_state ? reinterpret_cast<char*>(m_state->header) + kHeaderSize : nullptr;
}

uint64_t FileMapping::Size() const {
    return m_state ? m_state->header->dataSize : 0;
}

}  // namespace zeph::platform
