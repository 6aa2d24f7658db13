# Shared by the scripts: install what is missing (Debian packages only), configure and build.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export ROOT

# The Debian packages the build, the tests and the demo need.
LEXOR_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libicu-dev nlohmann-json3-dev libboost-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev
  libre2-dev clang-format clang-tidy
  dict dictd
  clang libclang-rt-14-dev
  dict-freedict-eng-jpn dict-freedict-jpn-eng
  chromium fonts-ipafont-gothic
  python3 util-linux
)

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
  esac
}
