# CLI11 for the cross-build: Debian's own package configuration names
# /usr/include, which must not be seen by the Windows compiler, so the target
# points at the folder of header-only libraries the toolchain file sets up.
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${MORVANE_HEADER_ONLY_DIR}")
endif()
set(CLI11_FOUND TRUE)
