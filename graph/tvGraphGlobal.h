#pragma once

#include <QtCore/qglobal.h>

#if defined(TVGRAPH_BUILDING)
#define TVGRAPH_EXPORT Q_DECL_EXPORT
#else
#define TVGRAPH_EXPORT Q_DECL_IMPORT
#endif

/// Version of the graph control library, for callers that load it at run time.
TVGRAPH_EXPORT const char* tvGraphVersion();
