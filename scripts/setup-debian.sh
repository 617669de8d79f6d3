#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Non-interactive and idempotent: packages already present are not touched. Packages
# given as arguments are installed too (scripts that need more than the build).
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    qt6-base-dev libgl-dev
    # the day-trend window's charts; Debian's package does not pull the OpenGL module
    # headers its CMake files ask for
    qt6-charts-dev libqt6opengl6-dev
    clang-format tzdata gcovr
    # libFuzzer targets (scripts/fuzz.sh)
    clang libclang-rt-14-dev
    # an RTF reader not ours: the day protocol's test converts the .RTF with it
    unrtf
    g++-mingw-w64-x86-64-posix wine64
    # the Debian packages: dpkg-shlibdeps finds their dependencies, lintian checks them
    dpkg-dev lintian
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present"
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
