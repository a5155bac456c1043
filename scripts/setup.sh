#!/usr/bin/env bash
# Installs the Debian packages the three builds and the tests need; installs nothing already present.
set -euo pipefail
packages=(
  cmake ninja-build g++ make
  g++-mingw-w64-i686 binutils-mingw-w64-i686   # the Windows product
  g++-multilib qemu-user-static                # the 32-bit twin and tests
  googletest libgtest-dev libbenchmark-dev      # tests and benchmarks
  libunicorn-dev                               # runs the shipped DLL's bytes
  clang libclang-rt-14-dev                     # fuzzing
  zip unzip
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then exit 0; fi
echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
