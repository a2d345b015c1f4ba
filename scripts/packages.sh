# Sourced by the scripts: installs, with apt-get, the Debian packages that are missing.

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

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Installs the packages that are missing. The word FLTK stands for FLTK's development package: one that
# is installed already, else FLTK 1.4 where apt has it (Debian 13's libfltk1.4-dev), else FLTK 1.3
# (libfltk1.3-dev, Debian 12). The build finds either.
need_packages() {
  local missing=()
  local fltk=0
  local pkg
  for pkg in "$@"; do
    if [ "$pkg" = FLTK ]; then
      # FLTK 1.4 built with Wayland, as Debian's is: the game's display calls need Wayland's client header.
      if installed libfltk1.4-dev; then
        installed libwayland-dev || missing+=(libwayland-dev)
      elif ! installed libfltk1.3-dev; then
        fltk=1
      fi
    else
      installed "$pkg" || missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && [ "$fltk" -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  apt_retry "${sudo[@]}" apt-get update -qq || return 1
  if [ "$fltk" -eq 1 ]; then
    # "Candidate: (none)" when apt knows the name but has no version of it to install. Read whole, not
    # piped into grep -q: under pipefail apt-cache's SIGPIPE, when grep stops early, fails the test.
    local policy
    policy=$(LC_ALL=C apt-cache policy libfltk1.4-dev 2>/dev/null || true)
    if [[ $policy == *"Candidate: "[0-9]* ]]; then
      missing+=(libfltk1.4-dev libwayland-dev)
    else
      missing+=(libfltk1.3-dev)
    fi
  fi
  echo "Installing: ${missing[*]}"
  apt_retry "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

# What building the game needs (rsvg-convert, of librsvg2-bin, draws the larger icons; msgfmt, of gettext,
# compiles the translations); FLTK: see above.
BUILD_PACKAGES=(cmake g++ make FLTK librsvg2-bin gettext fonts-dejavu-core fonts-liberation2)
# What the tests need on top: the test framework and a virtual X server with its helpers (xrdb, of
# x11-xserver-utils, sets the screen's dots per inch), and the benchmark library (the benchmarks are
# built with the tests and run once by them). The language tests make the locales they run in with
# localedef, from the sources of the locales package.
TEST_PACKAGES=(googletest libgtest-dev xvfb xdotool x11-apps x11-utils x11-xserver-utils imagemagick libbenchmark-dev
  locales)
# A Slurm cluster of the test's own (slurm.ProofsArray): its controller, nodes, clients and munge.
TEST_PACKAGES+=(slurm-wlm slurmctld slurmd slurm-client munge)
# The compositor that the Wayland test (wayland.*) runs the game under, nested in the virtual X server,
# wherever the game's FLTK draws on Wayland too (Debian 13's, scripts/fltk14's), and the title bars that
# libdecor draws there for Debian's FLTK (a desktop has a plugin of libdecor's, which it recommends).
TEST_PACKAGES+=(weston libdecor-0-plugin-1-cairo)
# The rating file's tests give it an access control list with setfacl (acl).
TEST_PACKAGES+=(acl)
# The reliability runs of scripts/test (not of its --plain suite): libFuzzer comes with clang's runtime
# libraries (clang_runtime_package); memcheck is valgrind's.
RELIABILITY_PACKAGES=(clang valgrind)

# libFuzzer's runtime belongs to the clang that the clang package brings (14 on Debian 12, 19 on 13):
# its package, once clang is installed.
clang_runtime_package() { echo "libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev"; }
# What FLTK 1.4's Wayland backend with its own libdecor needs to build from its source (scripts/fltk14).
FLTK_WAYLAND_PACKAGES=(pkg-config libwayland-dev wayland-protocols libxkbcommon-dev libdbus-1-dev libpango1.0-dev
  libcairo2-dev)
# What scripts/windows needs: the MinGW-w64 cross compiler, Wine, the installer's and the zip's tools,
# the icon's tools, GoogleTest's source (built by the cross compiler) and a virtual X server for Wine.
WINDOWS_PACKAGES=(cmake make g++-mingw-w64-x86-64-posix wine64 wine nsis zip unzip icoutils librsvg2-bin gettext locales
  fonts-liberation2 googletest xvfb xdotool x11-utils imagemagick)
# What scripts/package needs on top of the build: the Debian package tools and the checkers of its files
# (appstream-compose: what a software centre's catalogue makes of the package; librsvg2-common: its
# reader of the SVG icon, which Debian 13's appstream-compose does not bring).
PACKAGE_PACKAGES=(dpkg-dev lintian desktop-file-utils appstream appstream-compose librsvg2-common)
