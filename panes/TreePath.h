#pragma once
// The path rule of the folder trees, kept apart from the control so that it is tested on
// every build.
#include "common/CString.h"

#include <vector>

// Joins node texts, outermost first, with "/" and normalises the separators: for local paths
// every "/" becomes "\" and runs of "\" collapse to one; otherwise every "\" becomes "/" and
// runs of "/" collapse to one.
CString JoinTreePath(const std::vector<CString>& texts, bool localPaths);

// A remote path: folder + "/" + name, without doubling the "/" of a folder that ends with one
// (the root "/").
CString JoinRemotePath(const CString& folder, const CString& name);
