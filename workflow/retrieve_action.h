#pragma once

#include <string>

#include "workflow/form_fields.h"
#include "workflow/notice.h"
#include "workflow/transfer.h"

namespace marlowin {

/**
 * The retrieve action, in the two halves around the fetch, so that the window can wait for
 * the document without stopping its event loop.
 *
 * start_retrieve() selects HTTP on the transfer component and returns the address in Text1
 * exactly as typed, for the caller to fetch. finish_retrieve() writes the fetched document
 * into the page buffer Text2 and says whether anything arrived. A fetch that fails or is
 * cancelled never reaches finish_retrieve(): the page buffer keeps its earlier text and no
 * notice is shown.
 */
[[nodiscard]] std::string start_retrieve(FormFields& fields, Transfer& inet1);

/// The second half: see start_retrieve().
void finish_retrieve(FormFields& fields, NoticeSink& notices, std::string document);

}  // namespace marlowin
