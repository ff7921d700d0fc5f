#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages.
# Idempotent: a second run checks what is there and returns in seconds.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
prefix="$root/.deps"          # git-ignored: minizip built for the Windows targets
stamp="$prefix/setup.stamp"
packages=(
  build-essential cmake ninja-build pkg-config clang llvm
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  wine wine64 xvfb x11-utils imagemagick
  libcurl4-openssl-dev libcpp-httplib-dev nlohmann-json3-dev
  zlib1g-dev libminizip-dev libz-mingw-w64-dev libssl-dev libpugixml-dev
  zip unzip nginx-light python3 curl dpkg-dev iso-codes xkb-data
)
# Bumped when the list above or the minizip build changes, so old machines redo the work.
setup_version=3

sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$setup_version" ] \
  && [ -f "$prefix/x86_64-w64-mingw32/lib/libminizip.a" ] && [ -f "$prefix/i686-w64-mingw32/lib/libminizip.a" ]; then
  exit 0
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_ apt-get update -qq
  DEBIAN_FRONTEND=noninteractive sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A deb-src entry for every Debian source already configured, so that
# 'apt-get source zlib' works without naming any host here.
src_list=/etc/apt/sources.list.d/kavrel-deb-src.sources
if [ ! -f "$src_list" ]; then
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    [ "$f" = "$src_list" ] && continue
    # Keep the stanzas that name a Debian archive; turn their type into deb-src.
    awk 'BEGIN{RS=""; ORS="\n\n"} /debian/ && /Types:[^\n]*deb/ {gsub(/Types:[^\n]*/, "Types: deb-src"); print}' "$f" >>"$tmp"
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb [^#]*debian' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
      | awk '{print "Types: deb-src\nURIs: "$2"\nSuites: "$3"\nComponents: "$4"\n"}' >>"$tmp" || true
  fi
  sudo_ cp "$tmp" "$src_list"
  rm -f "$tmp"
  sudo_ apt-get update -qq
fi

# minizip for both Windows targets, from Debian's zlib source.
build_minizip() {
  local triple=$1 out="$prefix/$1"
  [ -f "$out/lib/libminizip.a" ] && return 0
  local work="$prefix/src"
  mkdir -p "$work"
  if [ ! -d "$work/zlib" ]; then
    # The newest source may sit in an archive that does not serve it: fall back
    # to each configured suite in turn.
    local got=0 suite
    for suite in "" $(awk '/^Suites:/{for(i=2;i<=NF;i++)print $i}' "$src_list"); do
      if (cd "$work" && apt-get source -qq "zlib${suite:+/$suite}" >/dev/null 2>&1); then got=1; break; fi
    done
    [ "$got" = 1 ] || { echo "setup: could not fetch the zlib source package" >&2; exit 1; }
    local dir
    dir=$(find "$work" -maxdepth 1 -type d -name 'zlib-*' | head -n 1)
    mv "$dir" "$work/zlib"
  fi
  local mz="$work/zlib/contrib/minizip"
  local obj="$prefix/obj-$triple"
  rm -rf "$obj"; mkdir -p "$obj" "$out/lib" "$out/include/minizip"
  for c in ioapi.c iowin32.c unzip.c zip.c mztools.c; do
    "$triple-gcc" -O2 -DNOCRYPT -c "$mz/$c" -o "$obj/${c%.c}.o"
  done
  "$triple-ar" rcs "$out/lib/libminizip.a" "$obj"/*.o
  cp "$mz"/ioapi.h "$mz"/iowin32.h "$mz"/unzip.h "$mz"/zip.h "$mz"/mztools.h "$out/include/minizip/"
  rm -rf "$obj"
}
mkdir -p "$prefix"
build_minizip x86_64-w64-mingw32
build_minizip i686-w64-mingw32
echo "$setup_version" >"$stamp"
echo "setup: done"
