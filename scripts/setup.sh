#!/usr/bin/env bash
# Installs what the build and the tests need, as root and non-interactively.
# Quick when everything is already there: it only asks dpkg.
set -euo pipefail

need_i386=(wine32:i386 libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386
           libxfixes3:i386 libxcomposite1:i386 libxinerama1:i386 libxxf86vm1:i386)
need=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-i686-dev mingw-w64-x86-64-dev libz-mingw-w64-dev wine wine64
      xvfb x11-apps imagemagick fonts-wine fonts-wqy-microhei cmake make g++ googletest libgtest-dev libbenchmark-dev
      clang libclang-rt-14-dev zlib1g-dev "${need_i386[@]}")

missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
