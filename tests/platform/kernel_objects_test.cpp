#include "platform/kernel_objects.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/files.h"
#include "platform/named_pipe.h"
#include "tests/platform/helper_process.h"
#include "tests/support/profile_fixture.h"

namespace zeph::platform {
namespace {

using zeph::test::ProfileFixture;

// The single-instance check of the installer.
TEST(KernelObjects, SecondMappingOfANameAlreadyExists) {
    ProfileFixture profile;
    constexpr std::u16string_view kName = u"zedozurerare_{0A3C83FD-7B1D-4c3f-8932-190BA6D25F90}";
    FileMapping first, second;
    ASSERT_EQ(FileMapping::Create(kName, 4, first), WinError::Success);
    std::memcpy(first.Data(), "ping", 4);
    ASSERT_EQ(FileMapping::Create(kName, 4, second), WinError::AlreadyExists);
    ASSERT_TRUE(second.IsOpen());
    EXPECT_EQ(std::memcmp(second.Data(), "ping", 4), 0);
    EXPECT_EQ(second.Size(), 4u);
    FileMapping opened;
    EXPECT_EQ(FileMapping::Open(kName, opened), WinError::Success);
    first.Close();
    second.Close();
    opened.Close();
    // The last handle closed: the name is free again.
    EXPECT_EQ(FileMapping::Open(kName, opened), WinError::FileNotFound);
    EXPECT_EQ(FileMapping::Create(kName, 4, first), WinError::Success);
    EXPECT_EQ(FileMapping::Create(kName, 0, second), WinError::InvalidParameter);
}

TEST(KernelObjects, NamesPrefixesAndTypes) {
    ProfileFixture profile;
    Event local, global, other;
    ASSERT_EQ(Event::Create(u"Shared", EventReset::Manual, EventState::Clear, local),
              WinError::Success);
    EXPECT_EQ(Event::Create(u"Local\\Shared", EventReset::Manual, EventState::Clear, other),
              WinError::AlreadyExists);  // a bare name is Local
    EXPECT_EQ(Event::Create(u"Global\\Shared", EventReset::Manual, EventState::Clear, global),
              WinError::Success);
    EXPECT_EQ(Event::Open(u"shared", other), WinError::FileNotFound);  // names are case-sensitive
    Mutex mutex;
    EXPECT_EQ(Mutex::Open(u"Shared", mutex), WinError::InvalidHandle);  // the name holds an event
    EXPECT_EQ(Mutex::Create(u"Shared", MutexOwner::None, mutex), WinError::InvalidHandle);
    EXPECT_EQ(Event::Create(u"a\\b", EventReset::Manual, EventState::Clear, other),
              WinError::PathNotFound);
    EXPECT_EQ(Event::Open(u"Global\\", other), WinError::PathNotFound);
}

TEST(KernelObjects, EventsResetManuallyOrByTheWait) {
    ProfileFixture profile;
    for (const std::u16string_view name : {u"Local\\ev", u""}) {  // named and unnamed
        Event manual, automatic;
        ASSERT_EQ(Event::Create(name.empty() ? name : u"Local\\manual", EventReset::Manual,
                                EventState::Set, manual),
                  WinError::Success);
        ASSERT_EQ(Event::Create(name.empty() ? name : u"Local\\auto", EventReset::Auto,
                                EventState::Clear, automatic),
                  WinError::Success);
        EXPECT_EQ(manual.Wait(0), WaitResult::Signaled);
        EXPECT_EQ(manual.Wait(0), WaitResult::Signaled);  // stays set
        manual.Reset();
        EXPECT_EQ(manual.Wait(10), WaitResult::Timeout);
        automatic.Set();
        EXPECT_EQ(automatic.Wait(0), WaitResult::Signaled);
        EXPECT_EQ(automatic.Wait(10), WaitResult::Timeout);  // the wait cleared it

        // A waiting thread wakes when another sets it.
        std::atomic<int> woke{0};
        std::thread waiter([&] { woke = automatic.Wait(20000) == WaitResult::Signaled ? 1 : 2; });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        automatic.Set();
        waiter.join();
        EXPECT_EQ(woke, 1);
    }
}

TEST(KernelObjects, EventsAcrossProcesses) {
    ProfileFixture profile;
    Event go;
    ASSERT_EQ(Event::Create(u"Global\\go", EventReset::Manual, EventState::Clear, go,
                            ObjectSecurity::Everyone),
              WinError::Success);
    Process waiter;
    ASSERT_EQ(helper::StartHelper("event-wait Global\\go 20000", waiter), WinError::Success);
    go.Set();
    ASSERT_EQ(waiter.Wait(30000), WaitResult::Signaled);
    EXPECT_EQ(waiter.ExitCode(), 0u);

    // The other way round, and a reset made by another process counts here.
    Event back;
    ASSERT_EQ(Event::Create(u"Local\\back", EventReset::Auto, EventState::Clear, back),
              WinError::Success);
    EXPECT_EQ(helper::RunHelper("event-set Local\\back"), 0u);
    EXPECT_EQ(back.Wait(20000), WaitResult::Signaled);
    EXPECT_EQ(helper::RunHelper("event-wait Global\\go 0"), 0u);
    go.Reset();
    EXPECT_EQ(helper::RunHelper("event-wait Global\\go 50"), 1u);
    EXPECT_EQ(helper::RunHelper("event-set Local\\missing"), 2u);
}

// An object whose holder died disappears: a crashed installer never blocks
// the next one.
TEST(KernelObjects, DeadHoldersObjectDisappears) {
    ProfileFixture profile;
    Event ready;
    ASSERT_EQ(Event::Create(u"Local\\ready", EventReset::Manual, EventState::Clear, ready),
              WinError::Success);
    Process holder;
    ASSERT_EQ(helper::StartHelper("hold-mapping Local\\instance Local\\ready", holder),
              WinError::Success);
    ASSERT_EQ(ready.Wait(20000), WaitResult::Signaled);
    FileMapping mapping;
    EXPECT_EQ(FileMapping::Create(u"Local\\instance", 4, mapping), WinError::AlreadyExists);
    mapping.Close();

    ASSERT_EQ(holder.Terminate(), WinError::Success);  // killed: it closes nothing itself
    ASSERT_EQ(holder.Wait(20000), WaitResult::Signaled);
    EXPECT_EQ(FileMapping::Open(u"Local\\instance", mapping), WinError::FileNotFound);
    EXPECT_EQ(FileMapping::Create(u"Local\\instance", 4, mapping), WinError::Success);
}

TEST(KernelObjects, MutexOwnershipRecursionAndAbandonment) {
    ProfileFixture profile;
    Mutex mutex;
    ASSERT_EQ(Mutex::Create(u"Local\\m", MutexOwner::Caller, mutex), WinError::Success);
    EXPECT_EQ(mutex.Wait(0), WaitResult::Signaled);  // recursive for its owner
    std::atomic<int> other{0};
    std::thread thread([&] {
        Mutex mine;
        ASSERT_EQ(Mutex::Open(u"Local\\m", mine), WinError::Success);
        EXPECT_EQ(mine.Release(), WinError::NotOwner);
        other = mine.Wait(20000) == WaitResult::Signaled ? 1 : 2;
        EXPECT_EQ(mine.Release(), WinError::Success);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(other, 0);
    EXPECT_EQ(mutex.Release(), WinError::Success);
    EXPECT_EQ(other, 0);  // still held once
    EXPECT_EQ(mutex.Release(), WinError::Success);
    thread.join();
    EXPECT_EQ(other, 1);
    EXPECT_EQ(mutex.Release(), WinError::NotOwner);

    // A process that ends owning a mutex abandons it to the next waiter.
    Event ready;
    ASSERT_EQ(Event::Create(u"Local\\mready", EventReset::Manual, EventState::Clear, ready),
              WinError::Success);
    Mutex held;
    ASSERT_EQ(Mutex::Create(u"Local\\held", MutexOwner::None, held), WinError::Success);
    EXPECT_EQ(helper::RunHelper("hold-mutex Local\\held Local\\mready"), 0u);
    EXPECT_EQ(held.Wait(20000), WaitResult::Abandoned);
    EXPECT_EQ(held.Wait(0), WaitResult::Signaled);
    EXPECT_EQ(held.Release(), WinError::Success);
    EXPECT_EQ(held.Release(), WinError::Success);
}

TEST(KernelObjects, SemaphoreCounts) {
    ProfileFixture profile;
    Semaphore sem;
    EXPECT_EQ(Semaphore::Create(u"Local\\s", 3, 2, sem), WinError::InvalidParameter);
    ASSERT_EQ(Semaphore::Create(u"Local\\s", 1, 2, sem), WinError::Success);
    EXPECT_EQ(sem.Wait(0), WaitResult::Signaled);
    EXPECT_EQ(sem.Wait(10), WaitResult::Timeout);
    int32_t previous = -1;
    EXPECT_EQ(sem.Release(2, &previous), WinError::Success);
    EXPECT_EQ(previous, 0);
    EXPECT_EQ(sem.Release(1, &previous), WinError::TooManyPosts);
    Semaphore again;
    ASSERT_EQ(Semaphore::Open(u"Local\\s", again), WinError::Success);
    EXPECT_EQ(again.Wait(0), WaitResult::Signaled);
    EXPECT_EQ(again.Wait(0), WaitResult::Signaled);
    EXPECT_EQ(again.Wait(0), WaitResult::Timeout);
}

// What the check leaf for kernel objects tells apart: a mutex that may not
// be opened still exists, events and semaphores then count as absent.
TEST(KernelObjects, ObjectsNobodyMayOpen) {
    ProfileFixture profile;
    Mutex mutex;
    Event event;
    Semaphore sem;
    ASSERT_EQ(Mutex::Create(u"Global\\guarded", MutexOwner::None, mutex, ObjectSecurity::Nobody),
              WinError::Success);
    ASSERT_EQ(Event::Create(u"Global\\guarded-ev", EventReset::Manual, EventState::Set, event,
                            ObjectSecurity::Nobody),
              WinError::Success);
    ASSERT_EQ(Semaphore::Create(u"Global\\guarded-sem", 0, 1, sem, ObjectSecurity::Nobody),
              WinError::Success);
    Mutex m2;
    Event e2;
    Semaphore s2;
    EXPECT_EQ(Mutex::Open(u"Global\\guarded", m2), WinError::AccessDenied);
    EXPECT_EQ(Event::Open(u"Global\\guarded-ev", e2), WinError::AccessDenied);
    EXPECT_EQ(Semaphore::Open(u"Global\\guarded-sem", s2), WinError::AccessDenied);
    EXPECT_EQ(Mutex::Open(u"Global\\absent", m2), WinError::FileNotFound);
    EXPECT_EQ(helper::RunHelper("event-wait Global\\guarded-ev 0"), 2u);  // refused to others too
}

TEST(KernelObjects, NamedPipes) {
    ProfileFixture profile;
    NamedPipe server;
    ASSERT_EQ(NamedPipe::CreateServer(u"\\\\.\\pipe\\Zeph_Test", server), WinError::Success);
    NamedPipe duplicate;
    EXPECT_EQ(NamedPipe::CreateServer(u"zeph_test", duplicate), WinError::AccessDenied);

    NamedPipe connection;
    EXPECT_EQ(server.Accept(10, connection), WinError::WaitTimeout);
    // A client through the file interface, as the check leaf opens pipes.
    File client;
    ASSERT_EQ(File::Open(u"\\\\.\\PIPE\\zeph_test", FileAccess::ReadWrite, FileShare::None,
                         Disposition::OpenExisting, client),
              WinError::Success);
    ASSERT_EQ(server.Accept(5000, connection), WinError::Success);
    ASSERT_EQ(client.Write("hello", 5), WinError::Success);
    char buffer[16] = {};
    size_t got = 0;
    ASSERT_EQ(connection.Read(buffer, sizeof buffer, &got), WinError::Success);
    EXPECT_EQ(std::string(buffer, got), "hello");
    client.Close();
    EXPECT_EQ(connection.Read(buffer, sizeof buffer, &got), WinError::BrokenPipe);

    server.Close();
    NamedPipe late;
    EXPECT_EQ(NamedPipe::Connect(u"\\\\.\\pipe\\zeph_test", late), WinError::FileNotFound);
    EXPECT_EQ(File::Open(u"\\\\.\\pipe\\none", FileAccess::ReadWrite, FileShare::None,
                         Disposition::OpenExisting, client),
              WinError::FileNotFound);
}

}  // namespace
}  // namespace zeph::platform
