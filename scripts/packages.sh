# Sourced by scripts/run and scripts/test: installs, with apt-get, the Debian packages that are missing.
need_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What building the game needs (rsvg-convert, of librsvg2-bin, draws the larger icons).
BUILD_PACKAGES=(cmake g++ make libfltk1.3-dev librsvg2-bin fonts-dejavu-core fonts-liberation2)
# What the tests need on top: the test framework and a virtual X server with its helpers, and the
# benchmark library (the benchmarks are built with the tests and run once by them).
TEST_PACKAGES=(googletest libgtest-dev xvfb xdotool x11-apps x11-utils imagemagick libbenchmark-dev)
# The reliability runs: libFuzzer comes with clang's runtime libraries; memcheck is valgrind's.
TEST_PACKAGES+=(clang libclang-rt-14-dev valgrind)
# What scripts/package needs on top of the build: the Debian package tools and the checkers of its files
# (appstream-compose: what a software centre's catalogue makes of the package).
PACKAGE_PACKAGES=(dpkg-dev lintian desktop-file-utils appstream appstream-compose)
