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
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

WENDREL_BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
                        libgl-dev qt6-qpa-plugins fonts-dejavu-core)
WENDREL_TEST_PACKAGES=(xvfb xauth trayer xdotool x11-utils imagemagick desktop-file-utils
                       appstream dpkg-dev file python3 valgrind clang-tidy cppcheck util-linux)
