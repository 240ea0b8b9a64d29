#include "imaging/support/DecodeScope.h"

namespace imaging {

namespace {
thread_local int t_depth = 0;
} // namespace

DecodeScope::DecodeScope()
{
    ++t_depth;
}

DecodeScope::~DecodeScope()
{
    --t_depth;
}

bool DecodeScope::active()
{
    return t_depth > 0;
}

} // namespace imaging
