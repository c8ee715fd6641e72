#include "ZenIdhttp.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

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

void initialiseCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
    void operator()(curl_mime* m) const { curl_mime_free(m); }
};

}  // namespace

void TZenIdhttp::AddParameter(const QString& name, const QString& value)
{
    m_parameters.setValue(name, value);
    m_fields.emplace_back(name.toUtf8(), m_parameters.value(name).toUtf8());
}

bool TZenIdhttp::Post(const QString& url, QString* error)
{
    initialiseCurl();
    m_response.clear();
    const auto fields = std::move(m_fields);
    m_fields.clear();

    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        if (error)
            *error = QStringLiteral("cannot create an HTTP client");
        return false;
    }
    std::unique_ptr<curl_mime, CurlDeleter> mime(curl_mime_init(curl.get()));
    for (const auto& [name, value] : fields) {
        curl_mimepart* part = curl_mime_addpart(mime.get());
        curl_mime_name(part, name.constData());
        curl_mime_data(part, value.constData(), size_t(value.size()));
    }
    const QByteArray address = url.toUtf8();
    char errorText[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, address.constData());
    // The address comes from a setting: it may name nothing but a web server.
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &m_response);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, totalTimeoutMs);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(abort));
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);

    const CURLcode result = curl_easy_perform(c);
    if (result != CURLE_OK && error)
        *error = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(result));
    return result == CURLE_OK;
}

}  // namespace quillon::desktop
