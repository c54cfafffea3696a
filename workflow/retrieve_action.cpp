#include "workflow/retrieve_action.h"

namespace marlowin {

void retrieve(FormFields& fields, Transfer& inet1, NoticeSink& notices) {
    inet1.set_protocol(Transfer::Protocol::Http);
    const std::string address = fields.read(Field::Text1);
    fields.write(Field::Text2, inet1.open_url(address));

    // Both checks read the page buffer itself, not the fetched value.
    if (!fields.is_empty(Field::Text2)) {
        notices.show(Notice::RetrieveDone);
    }
    if (fields.is_empty(Field::Text2)) {
        notices.show(Notice::RetrieveFailed);
    }
}

}  // namespace marlowin
