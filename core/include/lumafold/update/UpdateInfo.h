// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <string>

namespace lumafold {

// An available update as announced by the manifest.
struct UpdateInfo
{
    std::string version;
    std::string downloadURL; // always https with a host
    std::string notes;

    bool operator==(const UpdateInfo&) const = default;
};

} // namespace lumafold
