#!/usr/bin/env bash
# Builds the Windows (i686-w64-mingw32) static libraries of the dependencies from Debian's
# source packages: libbz2, Boost.Filesystem and the bzip2 part of Boost.Iostreams. The
# remaining Boost parts we use (System, Uuid, CRC) are header-only. Boost headers come from
# Debian's libboost1.74-dev, which is the same version as the source package.
# Output: DEPS/include (boost -> /usr/include/boost, bzlib.h) and DEPS/lib/*.a.
# Idempotent: a stamp file records a finished build.
set -euo pipefail
DEPS=${1:?usage: build-win-deps.sh DEPS-DIR}
mkdir -p "$DEPS"
DEPS=$(cd "$DEPS" && pwd)
STAMP="$DEPS/.built-v1"
[ -f "$STAMP" ] && exit 0

CC=i686-w64-mingw32-gcc-posix
CXX=i686-w64-mingw32-g++-posix
AR=i686-w64-mingw32-ar
SRC="$DEPS/src"
OBJ="$DEPS/obj"
mkdir -p "$SRC" "$OBJ" "$DEPS/include" "$DEPS/lib"

cd "$SRC"
if ! ls boost1.74_*.orig.tar.xz >/dev/null 2>&1 || ! ls bzip2_*.orig.tar.gz >/dev/null 2>&1; then
  apt-get source --download-only boost1.74 bzip2 >/dev/null 2>&1 || apt-get source --download-only boost1.74 bzip2
fi
if [ ! -d boost/libs/filesystem/src ]; then
  tar -xJf boost1.74_*.orig.tar.xz boost/libs/filesystem/src boost/libs/iostreams/src/bzip2.cpp
fi
if [ ! -d bzip2-1.0.8 ]; then
  tar -xzf bzip2_*.orig.tar.gz
fi

ln -sfn /usr/include/boost "$DEPS/include/boost"
cp -f bzip2-1.0.8/bzlib.h "$DEPS/include/bzlib.h"

# libbz2
rm -f "$OBJ"/*.o
for f in blocksort huffman crctable randtable compress decompress bzlib; do
  "$CC" -O2 -D_FILE_OFFSET_BITS=64 -c "bzip2-1.0.8/$f.c" -o "$OBJ/bz2_$f.o" &
done
wait
# Boost
defs=(-DBOOST_ALL_NO_LIB -DBOOST_FILESYSTEM_STATIC_LINK=1 -DBOOST_IOSTREAMS_STATIC_LINK=1
      -DBOOST_FILESYSTEM_SOURCE -D_WIN32_WINNT=0x0601)
for f in boost/libs/filesystem/src/*.cpp; do
  "$CXX" -std=c++20 -O2 "${defs[@]}" -isystem "$DEPS/include" -c "$f" -o "$OBJ/fs_$(basename "$f" .cpp).o" &
done
"$CXX" -std=c++20 -O2 "${defs[@]}" -isystem "$DEPS/include" -c boost/libs/iostreams/src/bzip2.cpp -o "$OBJ/ios_bzip2.o" &
wait
rm -f "$DEPS"/lib/*.a
"$AR" rcs "$DEPS/lib/libbz2.a" "$OBJ"/bz2_*.o
"$AR" rcs "$DEPS/lib/libboost_filesystem.a" "$OBJ"/fs_*.o
"$AR" rcs "$DEPS/lib/libboost_iostreams.a" "$OBJ"/ios_*.o
touch "$STAMP"
echo "Windows dependencies built in $DEPS"
