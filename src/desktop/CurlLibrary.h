// The HTTP library, loaded the first time a request is made instead of when
// the program starts: it and the libraries it pulls in (TLS, Kerberos, LDAP,
// SSH ...) take longer to map and relocate than a short script takes to run,
// and most runs never send a request.
#pragma once

#include <curl/curl.h>

#include <QString>

namespace quillon::desktop {

struct CurlLibrary {
    decltype(&curl_global_init) global_init;
    decltype(&curl_easy_init) easy_init;
    decltype(&curl_easy_cleanup) easy_cleanup;
    decltype(&curl_easy_setopt) easy_setopt;
    decltype(&curl_easy_perform) easy_perform;
    decltype(&curl_easy_strerror) easy_strerror;
    decltype(&curl_mime_init) mime_init;
    decltype(&curl_mime_free) mime_free;
    decltype(&curl_mime_addpart) mime_addpart;
    decltype(&curl_mime_name) mime_name;
    decltype(&curl_mime_data) mime_data;
};

// The library's entry points, loaded and initialised once for the whole
// process (safe to call from any thread); null, with the reason in *error,
// when the library or one of its entry points is missing.
const CurlLibrary* curlLibrary(QString* error = nullptr);

}  // namespace quillon::desktop
