#include "appexit.h"

#include <cstdio>
#include <unistd.h>

namespace vantrel
{

void ProcessExit::endProgram(int code)
{
    runClosers();
    std::fflush(nullptr);
    // No destructor, close event or window handler may run after this point.
    ::_exit(code);
}

} // namespace vantrel
