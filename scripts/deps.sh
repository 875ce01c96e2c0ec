# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
# Sourced by scripts/run and scripts/test: installs the Debian packages a fresh
# machine lacks, and nothing when all are there.
wendrel_install_missing() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "Not root, and sudo is not installed. As root, run:" >&2
            echo "    apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
            return 1
        fi
        sudo=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

WENDREL_BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
                        libgl-dev qt6-qpa-plugins qt6-wayland fonts-dejavu-core libcanberra-dev
                        libcanberra-pulse sound-theme-freedesktop)
WENDREL_TEST_PACKAGES=(xvfb xauth trayer xdotool x11-utils imagemagick desktop-file-utils systemd libglib2.0-bin
                       qt6-base-private-dev weston
                       lintian reuse
                       appstream dpkg-dev file python3 valgrind clang-tidy clang-format cppcheck util-linux
                       openbox pulseaudio pulseaudio-utils dbus-daemon at-spi2-core python3-pyatspi
                       qemu-system-x86 busybox-static cpio kmod udev)
# The Windows build: the MinGW-w64 cross compilers, and the host's Qt tools
# (moc, rcc, uic) of the version whose source it builds Qt for Windows from.
WENDREL_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix cmake ninja-build qt6-base-dev qt6-base-dev-tools
                          dpkg-dev xz-utils zip nsis)
WENDREL_WINDOWS_TEST_PACKAGES=(wine wine64 libimage-exiftool-perl xvfb xauth imagemagick trayer
                               python3)
