// The transfer module: libcurl, ICU and uchardet behind one entry point, loaded by the window
// at run time so the program's start does not wait for the network stack to be linked in.
#include "transfer/curl_transfer.h"

#if defined(_WIN32)
#define MARLOWIN_MODULE_EXPORT __declspec(dllexport)
#else
#define MARLOWIN_MODULE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" MARLOWIN_MODULE_EXPORT void marlowin_create_page_fetcher(
    const marlowin::TransferOptions& options, std::unique_ptr<marlowin::PageFetcher>& fetcher) {
    fetcher = std::make_unique<marlowin::CurlTransfer>(options);
}
