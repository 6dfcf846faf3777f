# The framework, from Debian's juce-modules-source. Debian builds it against the system
# codec and image libraries, which must then be linked explicitly.
find_package(JUCE CONFIG REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(VENDRASOLITH_CODECS REQUIRED IMPORTED_TARGET flac vorbis vorbisenc vorbisfile ogg libpng libjpeg zlib)
