// Compiled into the boundary test: a host that includes Qt's headers, then Xlib's, which defines
// None as a macro, and then the library's headers.
#include <QtCore>
#if __has_include(<X11/Xlib.h>)
#include <X11/Xlib.h>
#else
#define None 0L
#endif
#include <ZEPHTreeModel.h>
#include <ZEPHTreeModelExports.h>

static_assert(None == 0L, "the host's None is its own again after the library's header");
