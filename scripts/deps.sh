# Installs the Debian packages the build, the program and the tests need.
# Sourced by run.sh and test.sh; does nothing when everything is present.
KESTRUNE_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    libvulkan-dev mesa-vulkan-drivers vulkan-validationlayers glslc
    libglfw3-dev libassimp-dev libimgui-dev libstb-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth xdotool x11-utils fonts-roboto-unhinted
    ffmpeg
    python3-matplotlib python3-distributed
)

kestrune_install_deps() {
    local missing=()
    local p
    for p in "${KESTRUNE_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

kestrune_configure_and_build() {
    local dir=$1; shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja "$@"
    fi
    cmake --build "$dir"
}
