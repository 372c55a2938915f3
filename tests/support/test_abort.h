// In the unit tests AbortWithMessage throws, so that a test can see the
// message and go on.
#pragma once

#include <string>

struct Aborted {
  std::string message;
};
