# Shared by the scripts: install what is missing (Debian packages only), configure and build.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export ROOT

# The Debian packages of each purpose, named once; a script installs the lists of its purposes
# with ensure_purposes (scripts/test checks after its build that every system header and library
# the compiler and linker read belongs to a package these lists bring in).
#   build    the programs: compiler, CMake, and the libraries they are built from
#   demo     the data the demo converts into dictionaries
#   test     unit, style, DICT, browser and service tests
#   fuzz     the libFuzzer targets (clang and its sanitizer runtimes)
#   bench    the benchmarks and their comparisons
#   window   the desktop window (GTK and WebKitGTK); built wherever their headers are present
#   package  the Debian package: its build and its checks
LEXOR_PACKAGES_BUILD=(
  build-essential cmake ninja-build pkg-config
  libicu-dev nlohmann-json3-dev libboost-dev zlib1g-dev libre2-dev libsqlite3-dev
)
LEXOR_PACKAGES_DEMO=(dict-freedict-eng-jpn dict-freedict-jpn-eng)
LEXOR_PACKAGES_TEST=(
  libgtest-dev libgmock-dev clang-format clang-tidy python3
  dict dictd dict-freedict-eng-jpn dict-freedict-jpn-eng
  chromium fonts-ipafont-gothic systemd zsh fish
  webkit2gtk-driver xvfb xauth dbus dbus-x11 xsel desktop-file-utils python3-gi
)
LEXOR_PACKAGES_FUZZ=(clang libclang-rt-14-dev)
LEXOR_PACKAGES_BENCH=(libbenchmark-dev python3 time util-linux dict dictd dict-freedict-jpn-eng)
LEXOR_PACKAGES_WINDOW=(libgtk-3-dev libwebkit2gtk-4.1-dev)
LEXOR_PACKAGES_PACKAGE=(
  dpkg-dev fakeroot file lintian appstream desktop-file-utils binutils curl man-db systemd
  util-linux
)

# purpose_packages PURPOSE...: the packages of those purposes, one a line.
purpose_packages() {
  local purpose
  for purpose in "$@"; do
    local -n list="LEXOR_PACKAGES_${purpose^^}"
    printf '%s\n' "${list[@]}"
  done
}

# ensure_purposes PURPOSE...: installs the packages of those purposes that are missing.
ensure_purposes() {
  local packages
  mapfile -t packages < <(purpose_packages "$@" | sort -u)
  ensure_packages "${packages[@]}"
}

ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}" >&2
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >&2
  fi
}

# Node.js and npm for the browser and load tests. A machine may already carry them from another
# package than Debian's (whose npm would then conflict), so the commands decide, not the packages.
ensure_node() {
  if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    ensure_packages nodejs npm
  fi
}

# scratch_for_servers MODE: a scratch folder, $work (MODE lets a server running as its own user
# read it), removed at exit together with the servers whose process ids the script adds to `pids`.
scratch_for_servers() {
  work="$(mktemp -d /tmp/lexor-bench.XXXXXX)"
  chmod "$1" "$work"
  pids=()
  trap stop_servers_and_scratch EXIT
}
stop_servers_and_scratch() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}

# A TCP port of the loopback that nothing listens on now, for a server a script starts.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Extra configure arguments, for every preset a script builds (scripts/test turns warnings into
# errors with them).
LEXOR_CONFIGURE_ARGS=()

# configure_and_build PRESET [TARGET...]
configure_and_build() {
  local preset="$1"; shift
  cmake --preset "$preset" -S "$ROOT" "${LEXOR_CONFIGURE_ARGS[@]}" >/dev/null
  if (($#)); then
    cmake --build --preset "$preset" --target "$@"
  else
    cmake --build --preset "$preset"
  fi
}

build_dir() {
  case "$1" in
    default) echo "$ROOT/build" ;;
    asan-ubsan) echo "$ROOT/build-asan" ;;
    bench) echo "$ROOT/build-bench" ;;
    fuzz) echo "$ROOT/build-fuzz" ;;
    package) echo "$ROOT/build-package" ;;
  esac
}
