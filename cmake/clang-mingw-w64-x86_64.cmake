# Cross-compiles for Windows x86-64 with Debian's clang, on the same MinGW-w64
# headers, import libraries and GCC runtime as mingw-w64-x86_64.cmake: a second
# compiler's view of the same sources.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER   clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET   x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)

# The sysroot keeps the host's /usr/include out. Clang cannot read Debian's
# GCC folder name ("12-posix"), so libgcc and libstdc++ are named by hand.
set(CMAKE_SYSROOT /usr/x86_64-w64-mingw32)
file(GLOB _mingw_gcc_dirs /usr/lib/gcc/x86_64-w64-mingw32/*-posix)
list(SORT _mingw_gcc_dirs COMPARE NATURAL ORDER DESCENDING)
list(GET _mingw_gcc_dirs 0 _mingw_gcc)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${_mingw_gcc}/include/c++ ${_mingw_gcc}/include/c++/x86_64-w64-mingw32)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-L${_mingw_gcc}")

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
