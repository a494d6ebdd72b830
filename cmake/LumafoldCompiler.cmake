# SPDX-License-Identifier: AGPL-3.0-or-later
# Warnings are errors on our own targets only; third-party headers come in as system includes.
function(lumafold_warnings target)
    # Designated initializers that leave members at their defaults are intended.
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-missing-field-initializers)
endfunction()

if(LUMAFOLD_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
