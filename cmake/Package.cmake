# `make deb`: build/pelu_VERSION_ARCH.deb by CPack's DEB generator, from what cmake/Install.cmake
# installs under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelu)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "The Pelu contributors <contributors@pelu.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast image viewer for the pictures of a folder")
# The long description after the summary line; CPack indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Pelu opens one picture and lists every picture of its folder in the file
manager's order, so the arrow keys step through them; the neighbours are
decoded ahead. It shows JPEG, JPEG XL, PNG, GIF, BMP, TIFF, WebP, ICO, HEIC,
HEIF, AVIF, Photoshop documents and camera raw files, and plays animated GIF,
PNG, WebP, JPEG XL and AVIF files.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://pelu.example.org/")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The libraries the binary links: dpkg-shlibdeps reads them from its ELF header.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# The libraries Pelu opens at run time (imaging/RuntimeLibrary.h), which no tool can see: one
# Debian package each, at least the version that has every function Pelu looks up.
set(PELU_RUNTIME_LIBRARY_PACKAGES
  "libheif1 (>= 1.15.1)"     # imaging/HeifLibrary: libheif.so.1
  "libraw20 (>= 0.16.0)"     # imaging/RawLibrary: libraw_r.so.20
  "libtiff6"                 # imaging/DecodeSupport: libtiff.so.6
  "libglib2.0-0 (>= 2.31.8)" # desktop/GioLibrary: libgio-2.0.so.0
  "libjxl0.7"                # imaging/decoders/JxlLibrary: libjxl.so.0.7, libjxl_threads.so.0.7
  "libavif15"                # imaging/decoders/AvifLibrary: libavif.so.15 (with dav1d)
  "liblcms2-2 (>= 2.8)"      # imaging/colour/LcmsLibrary: liblcms2.so.2
)
string(JOIN ", " CPACK_DEBIAN_PACKAGE_DEPENDS ${PELU_RUNTIME_LIBRARY_PACKAGES})
# Without them Pelu still runs: TIFF, WebP and ICO files do not open, and a Wayland session
# shows Pelu through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, qt6-wayland")

include(CPack)
