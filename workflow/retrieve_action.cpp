#include "workflow/retrieve_action.h"

namespace marlowin {

std::string start_retrieve(FormFields& fields, Transfer& inet1) {
    inet1.set_protocol(Transfer::Protocol::Http);
    return fields.read(Field::Text1);
}

void finish_retrieve(FormFields& fields, NoticeSink& notices, std::string document) {
    fields.write(Field::Text2, std::move(document));

    // Both checks read the page buffer itself, not the fetched value.
    if (!fields.is_empty(Field::Text2)) {
        notices.show(Notice::RetrieveDone);
    }
    if (fields.is_empty(Field::Text2)) {
        notices.show(Notice::RetrieveFailed);
    }
}

}  // namespace marlowin
