#include "test_abort.h"

#include "operations.h"

void AbortWithMessage(const std::string &message) { throw Aborted{message}; }
