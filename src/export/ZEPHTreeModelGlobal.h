#pragma once

#include <QtCore/qglobal.h>

// Only the classes and functions marked with ZEPH_EXPORT are visible outside the library.
#if defined(ZEPHTREEMODEL_LIBRARY)
#define ZEPH_EXPORT Q_DECL_EXPORT
#else
#define ZEPH_EXPORT Q_DECL_IMPORT
#endif
