# SPDX-License-Identifier: AGPL-3.0-or-later
# Debian ships MuPDF as static libraries, so its own dependencies are linked explicitly.
find_path(MuPDF_INCLUDE_DIR mupdf/fitz.h)
find_library(MuPDF_LIBRARY NAMES libmupdf.a mupdf)
find_library(MuPDF_THIRD_LIBRARY NAMES libmupdf-third.a mupdf-third)

find_package(PkgConfig REQUIRED)
pkg_check_modules(MUPDF_DEPS REQUIRED IMPORTED_TARGET freetype2 harfbuzz libopenjp2 zlib libjpeg)
find_library(MuPDF_MUJS mujs REQUIRED)
find_library(MuPDF_GUMBO gumbo REQUIRED)
find_library(MuPDF_JBIG2 jbig2dec REQUIRED)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(MuPDF REQUIRED_VARS MuPDF_LIBRARY MuPDF_THIRD_LIBRARY MuPDF_INCLUDE_DIR)

if(MuPDF_FOUND AND NOT TARGET MuPDF::MuPDF)
    add_library(MuPDF::MuPDF UNKNOWN IMPORTED)
    set_target_properties(MuPDF::MuPDF PROPERTIES
        IMPORTED_LOCATION "${MuPDF_LIBRARY}"
        INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${MuPDF_INCLUDE_DIR}"
        INTERFACE_LINK_LIBRARIES "${MuPDF_THIRD_LIBRARY};${MuPDF_MUJS};${MuPDF_GUMBO};${MuPDF_JBIG2};PkgConfig::MUPDF_DEPS;m")
endif()
