#include "tvGraphGlobal.h"

const char* tvGraphVersion()
{
    return "0.1.0";
}
