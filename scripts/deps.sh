# Sourced by scripts/test and scripts/run: makes sure the Debian packages the
# build needs are present, installing them when we are root.
OSTREL_PACKAGES="cmake g++ make ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core libwmf-bin fonts-urw-base35 gettext dbus qt6-svg-dev dpkg-dev appstream desktop-file-utils clang qt6-translations-l10n lintian libsqlite3-dev zlib1g-dev"

ostrel_missing_packages() {
  local missing="" p
  for p in $OSTREL_PACKAGES "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing="$missing $p"
    fi
  done
  echo "$missing"
}

ostrel_install_deps() {
  local missing
  missing=$(ostrel_missing_packages "$@")
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages:$missing" >&2
    echo "Install them as root, then run this script again:" >&2
    echo "  apt-get install -y$missing" >&2
    exit 1
  fi
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
}

ostrel_build() {
  local dir=$1; shift
  cmake -S "$OSTREL_ROOT" -B "$OSTREL_ROOT/$dir" -G Ninja "$@"
  cmake --build "$OSTREL_ROOT/$dir" --parallel "$(nproc)"
}
