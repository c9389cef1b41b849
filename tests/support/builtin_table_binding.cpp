// Every test process runs with the builtin table bound, as the engine does
// at start.
#include "zolt/core/program/builtin_bindings.h"

namespace zolt::test {
namespace {

const bool builtins_bound = (core::bind_all_builtins(), true);

}  // namespace
}  // namespace zolt::test
