#include "tvGraphGlobal.h"

const char* tvGraphVersion()
{
    return "1.1";
}
