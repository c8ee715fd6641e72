#include "CurlLibrary.h"

#include <dlfcn.h>

namespace quillon::desktop {

namespace {

struct Loaded {
    CurlLibrary entries{};
    QString error;
    bool ok = false;
};

template <typename F>
bool resolve(void* handle, const char* name, F& entry, QString& error)
{
    entry = reinterpret_cast<F>(dlsym(handle, name));
    if (!entry)
        error = QStringLiteral("the HTTP library has no %1").arg(QLatin1String(name));
    return entry != nullptr;
}

Loaded load()
{
    Loaded loaded;
    // The soname the headers were built against; the program never unloads it.
    void* handle = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        loaded.error = QStringLiteral("cannot load the HTTP library: %1").arg(QString::fromLocal8Bit(dlerror()));
        return loaded;
    }
    CurlLibrary& e = loaded.entries;
    QString& why = loaded.error;
    loaded.ok = resolve(handle, "curl_global_init", e.global_init, why)
        && resolve(handle, "curl_easy_init", e.easy_init, why)
        && resolve(handle, "curl_easy_cleanup", e.easy_cleanup, why)
        && resolve(handle, "curl_easy_setopt", e.easy_setopt, why)
        && resolve(handle, "curl_easy_perform", e.easy_perform, why)
        && resolve(handle, "curl_easy_strerror", e.easy_strerror, why)
        && resolve(handle, "curl_mime_init", e.mime_init, why)
        && resolve(handle, "curl_mime_free", e.mime_free, why)
        && resolve(handle, "curl_mime_addpart", e.mime_addpart, why)
        && resolve(handle, "curl_mime_name", e.mime_name, why)
        && resolve(handle, "curl_mime_data", e.mime_data, why);
    if (loaded.ok && e.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        loaded.ok = false;
        why = QStringLiteral("cannot initialise the HTTP library");
    }
    return loaded;
}

}  // namespace

const CurlLibrary* curlLibrary(QString* error)
{
    // A function-local static: loaded once, by whichever thread asks first.
    static const Loaded loaded = load();
    if (!loaded.ok && error)
        *error = loaded.error;
    return loaded.ok ? &loaded.entries : nullptr;
}

}  // namespace quillon::desktop
