// The program's web addresses, fixed when it is built.
//
// The update server holds the version manifest, the download page and the
// online documentation. Its address lives in update_base.cpp alone: the
// program holds the real site, and only the test programs (and the
// benchmarks) are linked with a build of it that asks a server on 127.0.0.1
// which the tests start.
#pragma once

#include <string>

// The web site's start pages and its terms, shown by the about window.
inline constexpr wchar_t kSiteHostName[] = L"quillet.app";
inline constexpr wchar_t kSiteStartRu[] = L"https://quillet.app/ru/";
inline constexpr wchar_t kSiteStartEn[] = L"https://quillet.app/";
inline constexpr wchar_t kTermsPageRu[] = L"https://quillet.app/ru/terms/";
inline constexpr wchar_t kTermsPageEn[] = L"https://quillet.app/terms/";

// Paths on the update server.
inline constexpr wchar_t kManifestPath[] = L"/download/version.json";
inline constexpr wchar_t kDownloadPath[] = L"/download/";

// Scheme and host (and port) of the update server, without a final "/".
std::wstring update_base();
// update_base() followed by the manifest's and the download page's paths.
std::wstring update_manifest_url();
std::wstring download_page_url();
