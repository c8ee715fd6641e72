// TZenIdhttp: the HTTP client of the usage counter. Parameters are added to
// a name=value list and, as form fields, to the next request's
// multipart/form-data body; Post sends that body and starts a fresh one.
// Synchronous: it runs on the counter's own thread, never on the GUI thread.
#pragma once

#include "base/NameValueList.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <utility>
#include <vector>

namespace quillon::desktop {

class TZenIdhttp {
public:
    // Sets name=value in the parameter list and appends a form field of that
    // name with the list's value to the request body.
    void AddParameter(const QString& name, const QString& value);

    // POSTs the body to `url` (http or https only), the reply going into
    // Response; the body then starts empty again, the parameter list is kept.
    // False, with the reason in *error, when the transfer failed, took longer
    // than the time-outs, was aborted, or the server answered 400 or above.
    bool Post(const QString& url, QString* error = nullptr);

    const QByteArray& Response() const { return m_response; }
    const base::NameValueList& Parameters() const { return m_parameters; }

    long connectTimeoutMs = 3000;
    long totalTimeoutMs = 5000;
    // When set and it turns true, a transfer in progress is given up.
    const std::atomic<bool>* abort = nullptr;

private:
    base::NameValueList m_parameters;
    std::vector<std::pair<QByteArray, QByteArray>> m_fields;
    QByteArray m_response;
};

}  // namespace quillon::desktop
