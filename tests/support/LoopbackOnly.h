#pragma once

// Whatever a test does, only loopback addresses can be reached from its process: FLINTOR_LOOPBACK_ONLY is
// set before the first test runs (and inherited by the programs a test starts).

#include <cstdlib>

namespace flintor::test {

inline const bool kLoopbackOnly = [] {
#ifdef _WIN32
    return _putenv_s("FLINTOR_LOOPBACK_ONLY", "1") == 0;
#else
    return setenv("FLINTOR_LOOPBACK_ONLY", "1", 1) == 0;
#endif
}();

} // namespace flintor::test
