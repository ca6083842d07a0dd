# Sourced by the set-up scripts: need PACKAGE... installs the Debian
# packages that are missing (as root, or through sudo).
need() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
        --no-install-recommends "${missing[@]}" >/dev/null
}

# need_i386 PACKAGE...: the same for packages of Debian's i386 architecture
# (wine32:i386), enabling it first.
need_i386() {
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
        $sudo apt-get update -qq
    fi
    need "$@"
}
