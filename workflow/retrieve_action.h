#pragma once

#include "workflow/form_fields.h"
#include "workflow/notice.h"
#include "workflow/transfer.h"

namespace marlowin {

/**
 * The retrieve action: fetches the address in Text1 over HTTP into the page buffer Text2 and
 * says whether anything arrived.
 *
 * The address is used exactly as typed. Errors of the fetch are not caught here: they leave
 * the action before Text2 is written, so the page buffer keeps its earlier text and no notice
 * is shown; the caller reports them.
 */
void retrieve(FormFields& fields, Transfer& inet1, NoticeSink& notices);

}  // namespace marlowin
