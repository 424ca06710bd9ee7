#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Idempotent: does nothing
# when everything is present. Runs as root or through sudo.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

native_pkgs=(cmake ninja-build g++ make dpkg-dev libboost-dev libboost-filesystem-dev libboost-iostreams-dev
             libbz2-dev googletest libgtest-dev bzip2 python3 clang libclang-rt-14-dev xz-utils)
win_pkgs=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686 liblnk-utils)
wine_pkgs=(wine wine32:i386 fonts-wine xvfb xauth)

missing=()
for p in "${native_pkgs[@]}" "${win_pkgs[@]}" "${wine_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# apt-get source (the Windows build of Boost and bzip2) needs deb-src entries.
has_deb_src() {
  grep -sqE '^[[:space:]]*deb-src[[:space:]]|^Types:(.*[[:space:]])?deb-src([[:space:]]|$)' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources
}
need_src=0
has_deb_src || need_src=1

if [ ${#missing[@]} -eq 0 ] && [ $need_src -eq 0 ]; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
if [ $need_src -eq 1 ]; then
  # A deb-src twin of the Debian sources: deb822 style (debian.sources) or one-line style
  # (/etc/apt/sources.list, as the Debian installer and debootstrap write it).
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $SUDO tee /etc/apt/sources.list.d/ov-deb-src.sources >/dev/null
  else
    sed -n 's/^\([[:space:]]*\)deb\([[:space:]]\)/\1deb-src\2/p' /etc/apt/sources.list |
      $SUDO tee /etc/apt/sources.list.d/ov-deb-src.list >/dev/null
  fi
  has_deb_src || { echo "install-deps.sh: found no Debian sources to make deb-src entries from" >&2; exit 1; }
fi
$SUDO apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
