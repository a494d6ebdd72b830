// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "core/update/UpdateInfo.h"

#include <ostream>

namespace lumafold {

// Readable failure messages in GoogleTest instead of a byte dump.
inline void PrintTo(const UpdateInfo& info, std::ostream* out)
{
    *out << "UpdateInfo{version \"" << info.version << "\", url \"" << info.downloadURL << "\", notes \"" << info.notes
         << "\"}";
}

} // namespace lumafold
