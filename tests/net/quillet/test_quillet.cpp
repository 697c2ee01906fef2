// A URL-rewriting component for the tests. It rewrites every URL whose path
// contains "/before/" to the same URL with "/after/", and answers two
// questions about its configuration: "quillet:program" and "quillet:data"
// give back the folders it was initialised with. With the environment
// variable QUILLET_REFUSE set it refuses to initialise.
#include <cstdlib>
#include <string>

#include "net/quillet.h"

namespace {

struct Component : QuilletObject {
    std::u16string programFolder;
    std::u16string dataFolder;
};

int Initialise(QuilletObject* self, const QuilletProductConfig* config) {
    if (std::getenv("QUILLET_REFUSE") != nullptr || config->IsInstalled(config->context) != 1 ||
        config->Reserved(config->context) != 0) {
        return 0;
    }
    auto* component = static_cast<Component*>(self);
    component->programFolder = config->ProgramFolder(config->context);
    component->dataFolder = config->DataFolder(config->context);
    return 1;
}

void Release(QuilletObject* self) {
    delete static_cast<Component*>(self);
}

int Rewrite(QuilletObject* self, const char16_t* url, const QuilletCallback* callback) {
    auto* component = static_cast<Component*>(self);
    std::u16string text = url;
    if (text == u"quillet:program") {
        callback->SetResult(callback->context, component->programFolder.c_str());
        return 1;
    }
    if (text == u"quillet:data") {
        callback->SetResult(callback->context, component->dataFolder.c_str());
        return 1;
    }
    const size_t at = text.find(u"/before/");
    if (at == std::u16string::npos) {
        return 0;
    }
    text.replace(at, 8, u"/after/");
    callback->SetExtra(callback->context, u"rewritten by the test component");
    callback->SetResult(callback->context, text.c_str());
    return 1;
}

const QuilletObjectTable kTable = {Initialise, Release, Rewrite};

}  // namespace

extern "C" __attribute__((visibility("default"))) int QuilletGetClassObject(const char16_t* classId,
                                                                            QuilletObject** out) {
    if (std::u16string(classId) != QUILLET_CLASS_ID) {
        return 1;
    }
    auto* component = new Component{};
    component->table = &kTable;
    *out = component;
    return 0;
}
