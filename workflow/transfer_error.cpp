#include "workflow/transfer_error.h"

#include <utility>

namespace marlowin {

TransferError::TransferError(int number, std::string description, std::string detail)
    : std::runtime_error(description),
      number_(number),
      description_(std::move(description)),
      detail_(std::move(detail)) {}

}  // namespace marlowin
