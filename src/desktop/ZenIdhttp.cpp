#include "ZenIdhttp.h"

#include "CurlLibrary.h"

#include <memory>

namespace quillon::desktop {

namespace {

size_t collect(char* data, size_t size, size_t count, void* target)
{
    static_cast<QByteArray*>(target)->append(data, qsizetype(size * count));
    return size * count;
}

int progress(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* abort = static_cast<const std::atomic<bool>*>(flag);
    return abort && abort->load() ? 1 : 0;
}

struct CurlDeleter {
    const CurlLibrary* lib;
    void operator()(CURL* c) const { lib->easy_cleanup(c); }
    void operator()(curl_mime* m) const { lib->mime_free(m); }
};

}  // namespace

void TZenIdhttp::AddParameter(const QString& name, const QString& value)
{
    m_parameters.setValue(name, value);
    m_fields.emplace_back(name.toUtf8(), m_parameters.value(name).toUtf8());
}

bool TZenIdhttp::Post(const QString& url, QString* error)
{
    m_response.clear();
    const auto fields = std::move(m_fields);
    m_fields.clear();

    const CurlLibrary* lib = curlLibrary(error);
    if (!lib)
        return false;
    std::unique_ptr<CURL, CurlDeleter> curl(lib->easy_init(), CurlDeleter{lib});
    if (!curl) {
        if (error)
            *error = QStringLiteral("cannot create an HTTP client");
        return false;
    }
    std::unique_ptr<curl_mime, CurlDeleter> mime(lib->mime_init(curl.get()), CurlDeleter{lib});
    for (const auto& [name, value] : fields) {
        curl_mimepart* part = lib->mime_addpart(mime.get());
        lib->mime_name(part, name.constData());
        lib->mime_data(part, value.constData(), size_t(value.size()));
    }
    const QByteArray address = url.toUtf8();
    char errorText[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    lib->easy_setopt(c, CURLOPT_URL, address.constData());
    // The address comes from a setting: it may name nothing but a web server.
    lib->easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    lib->easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    lib->easy_setopt(c, CURLOPT_MIMEPOST, mime.get());
    lib->easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    lib->easy_setopt(c, CURLOPT_WRITEDATA, &m_response);
    lib->easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs);
    lib->easy_setopt(c, CURLOPT_TIMEOUT_MS, totalTimeoutMs);
    lib->easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    lib->easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    lib->easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    lib->easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progress);
    lib->easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(abort));
    lib->easy_setopt(c, CURLOPT_FAILONERROR, 1L);

    const CURLcode result = lib->easy_perform(c);
    if (result != CURLE_OK && error)
        *error = QString::fromUtf8(errorText[0] ? errorText : lib->easy_strerror(result));
    return result == CURLE_OK;
}

}  // namespace quillon::desktop
