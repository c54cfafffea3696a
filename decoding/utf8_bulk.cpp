#include "decoding/utf8_bulk.h"

namespace marlowin {

BulkCheck check_utf8_in_bulk(const unsigned char* /*data*/, std::size_t /*length*/) {
    return BulkCheck::Unavailable;
}

}  // namespace marlowin
