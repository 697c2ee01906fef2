/* The C interface of the suite's URL-rewriting component, "quillet.dll" in
 * the suite's program folder (a shared object on this system). The installer
 * loads it once per process when it is present and lets it rewrite the URL of
 * every small request; without it URLs are used as they are. This header is
 * all a component author needs; it is plain C.
 *
 * The component exports one function:
 *
 *   int QuilletGetClassObject(const char16_t* classId, QuilletObject** out);
 *
 * It returns 0 and stores a new object in *out when it implements classId
 * (the installer asks for QUILLET_CLASS_ID); anything else is a failure.
 * The installer then calls, on the object's table:
 *
 *   Initialise(self, config)      once; non-zero means ready. The
 *                                 configuration stays valid until Release.
 *   Rewrite(self, url, callback)  before each request, from any thread and
 *                                 possibly from several at once; non-zero
 *                                 means callback->SetResult was given the new
 *                                 URL. The callback is valid during the call.
 *   Release(self)                 when the installer is done with the
 *                                 object: at process exit, or after a failed
 *                                 Initialise.
 *
 * Texts are NUL-terminated UTF-16; folders end in a backslash.
 */
#ifndef ZEPH_NET_QUILLET_H
#define ZEPH_NET_QUILLET_H

#ifdef __cplusplus
extern "C" {
#else
#include <uchar.h>
#endif

#define QUILLET_CLASS_ID u"{791AA04A-58F4-4B3B-87CC-BD13883C2E1E}"
#define QUILLET_GET_CLASS_OBJECT "QuilletGetClassObject"

/* What the installer tells the component about the installed suite. */
typedef struct QuilletProductConfig {
    void* context;
    int (*IsInstalled)(void* context);               /* always 1 */
    const char16_t* (*DataFolder)(void* context);    /* program folder + "data" */
    const char16_t* (*ProgramFolder)(void* context); /* the suite's program folder */
    int (*Reserved)(void* context);                  /* always 0 */
} QuilletProductConfig;

/* Where Rewrite puts its answer. */
typedef struct QuilletCallback {
    void* context;
    void (*SetResult)(void* context, const char16_t* url);
    void (*SetExtra)(void* context, const char16_t* text);
} QuilletCallback;

typedef struct QuilletObject QuilletObject;

typedef struct QuilletObjectTable {
    int (*Initialise)(QuilletObject* self, const QuilletProductConfig* config);
    void (*Release)(QuilletObject* self);
    int (*Rewrite)(QuilletObject* self, const char16_t* url, const QuilletCallback* callback);
} QuilletObjectTable;

struct QuilletObject {
    const QuilletObjectTable* table;
};

typedef int (*QuilletGetClassObjectFn)(const char16_t* classId, QuilletObject** out);

#ifdef __cplusplus
}
#endif

#endif
