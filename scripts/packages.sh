# Sourced by scripts/run and scripts/test: installs, with apt-get, the Debian packages that are missing.

# Runs an apt-get command up to three times, 10 and then 20 s apart: a registry that fails to answer once
# (a dropped connection, a mirror in sync) does not fail the build.
apt_retry() {
  local attempt
  for attempt in 1 2 3; do
    "$@" && return 0
    [ "$attempt" -lt 3 ] || break
    echo "apt-get failed (attempt $attempt of 3); trying again in $((attempt * 10)) s" >&2
    sleep $((attempt * 10))
  done
  return 1
}

need_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  apt_retry "${sudo[@]}" apt-get update -qq || return 1
  apt_retry "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

# What building the game needs (rsvg-convert, of librsvg2-bin, draws the larger icons).
BUILD_PACKAGES=(cmake g++ make libfltk1.3-dev librsvg2-bin fonts-dejavu-core fonts-liberation2)
# What the tests need on top: the test framework and a virtual X server with its helpers, and the
# benchmark library (the benchmarks are built with the tests and run once by them).
TEST_PACKAGES=(googletest libgtest-dev xvfb xdotool x11-apps x11-utils imagemagick libbenchmark-dev)
# The reliability runs: libFuzzer comes with clang's runtime libraries; memcheck is valgrind's.
TEST_PACKAGES+=(clang libclang-rt-14-dev valgrind)
# What scripts/package needs on top of the build: the Debian package tools and the checkers of its files
# (appstream-compose: what a software centre's catalogue makes of the package; librsvg2-common: its
# reader of the SVG icon, which Debian 13's appstream-compose does not bring).
PACKAGE_PACKAGES=(dpkg-dev lintian desktop-file-utils appstream appstream-compose librsvg2-common)
