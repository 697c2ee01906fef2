#include "net/url_rewrite.h"

#include <mutex>

#include "net/quillet.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace zeph::net {
namespace {

std::u16string WithBackslash(std::u16string folder) {
    if (!folder.empty() && folder.back() != u'\\') {
        folder += u'\\';
    }
    return folder;
}

}  // namespace

struct UrlRewriter::State {
    platform::SharedLibrary library;
    QuilletObject* object = nullptr;
    // The configuration the component may keep pointers into.
    std::u16string programFolder;
    std::u16string dataFolder;
    QuilletProductConfig config{};
};

std::unique_ptr<UrlRewriter> UrlRewriter::Load(std::u16string_view programFolder) {
    auto state = std::make_unique<State>();
    state->programFolder = WithBackslash(std::u16string(programFolder));
    if (state->programFolder.empty()) {
        return nullptr;
    }
    state->dataFolder = state->programFolder + u"data";
    const std::u16string path = state->programFolder + u"quillet.dll";
    if (!platform::FileExists(path) ||
        platform::SharedLibrary::Load(path, state->library) != platform::WinError::Success) {
        return nullptr;
    }
    auto getClassObject =
        reinterpret_cast<QuilletGetClassObjectFn>(state->library.Symbol(QUILLET_GET_CLASS_OBJECT));
    if (getClassObject == nullptr || getClassObject(QUILLET_CLASS_ID, &state->object) != 0 ||
        state->object == nullptr || state->object->table == nullptr) {
        return nullptr;
    }
    State* s = state.get();
    s->config.context = s;
    s->config.IsInstalled = [](void*) { return 1; };
    s->config.DataFolder = [](void* c) { return static_cast<State*>(c)->dataFolder.c_str(); };
    s->config.ProgramFolder = [](void* c) { return static_cast<State*>(c)->programFolder.c_str(); };
    s->config.Reserved = [](void*) { return 0; };
    if (s->object->table->Initialise(s->object, &s->config) == 0) {
        s->object->table->Release(s->object);
        return nullptr;
    }
    return std::unique_ptr<UrlRewriter>(new UrlRewriter(std::move(state)));
}

UrlRewriter::UrlRewriter(std::unique_ptr<State> state) : m_state(std::move(state)) {}

UrlRewriter::~UrlRewriter() {
    m_state->object->table->Release(m_state->object);
    m_state->library.Unload();
}

std::u16string UrlRewriter::Rewrite(std::u16string_view url) const {
    struct Answer {
        std::u16string result;
        std::u16string extra;
    } answer;
    QuilletCallback callback{};
    callback.context = &answer;
    callback.SetResult = [](void* c, const char16_t* text) {
        static_cast<Answer*>(c)->result = text != nullptr ? text : u"";
    };
    callback.SetExtra = [](void* c, const char16_t* text) {
        static_cast<Answer*>(c)->extra = text != nullptr ? text : u"";
    };
    const std::u16string input(url);
    if (m_state->object->table->Rewrite(m_state->object, input.c_str(), &callback) != 0) {
        return answer.result;
    }
    return input;
}

std::u16string SuiteProgramFolder() {
    platform::RegKey key;
    if (platform::RegKey::Open(platform::Hive::LocalMachine, u"software\\tarnwell\\antivirus",
                               platform::RegAccess::Read, platform::RegView::Wow64_32,
                               key) != platform::WinError::Success) {
        return {};
    }
    return WithBackslash(key.ReadString(u"ProgramPath").value_or(u""));
}

namespace {

struct ProcessRewriter {
    std::mutex mutex;
    bool looked = false;
    std::shared_ptr<UrlRewriter> rewriter;  // unloaded at process exit
};

ProcessRewriter& Process() {
    static ProcessRewriter process;
    return process;
}

std::shared_ptr<UrlRewriter> CurrentRewriter() {
    ProcessRewriter& process = Process();
    std::lock_guard lock(process.mutex);
    if (!process.looked) {
        process.looked = true;
        const std::u16string folder = SuiteProgramFolder();
        if (!folder.empty()) {
            process.rewriter = UrlRewriter::Load(folder);
        }
    }
    return process.rewriter;
}

}  // namespace

std::u16string RewriteUrl(std::u16string_view url) {
    const std::shared_ptr<UrlRewriter> rewriter = CurrentRewriter();
    return rewriter ? rewriter->Rewrite(url) : std::u16string(url);
}

namespace testing {
void ResetUrlRewriter() {
    ProcessRewriter& process = Process();
    std::lock_guard lock(process.mutex);
    process.looked = false;
    process.rewriter.reset();
}
}  // namespace testing

}  // namespace zeph::net
