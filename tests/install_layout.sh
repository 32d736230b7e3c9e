#!/usr/bin/env bash
# Installs a build into a temporary prefix and packages it: both hold
# exactly the two programs and their manual pages.
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
expected=$(printf '%s\n' bin/arithpuzzle bin/arithsolve share/man/man1/arithsolve.1 share/man/man6/arithpuzzle.6)

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
installed=$(cd "$tmp/prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)
diff <(echo "$expected") <(echo "$installed")

if command -v dpkg-deb >/dev/null; then
  (cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/package" >/dev/null)
  diff <(echo "$expected") <(dpkg-deb -c "$tmp"/package/*.deb | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | sort)
fi
