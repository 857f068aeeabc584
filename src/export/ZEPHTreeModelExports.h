#pragma once

#include "IZEPHTreeModel.h"
#include "ZEPHTreeModelGlobal.h"

#include <QHash>

/// Creates a model (the calling thread becomes its owner thread); false for a null `model` or when
/// construction failed, in which case `*model` is left untouched.
extern "C" ZEPH_EXPORT bool CreateZEPHTreeModel(IZEPHTreeModel** model, QObject* parent,
                                                const QHash<int, QByteArray>& roles, int flags,
                                                PF_DUPLICATE_HANDLER handler, PF_USER_FILTER filter);
/// Destroys a model made by CreateZEPHTreeModel and sets `*model` to null; false for null input.
extern "C" ZEPH_EXPORT bool DeleteZEPHTreeModel(IZEPHTreeModel** model);
