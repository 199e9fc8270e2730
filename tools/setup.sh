#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, and the de_DE.UTF-8 locale the
# locale tests use. Idempotent: what is present is skipped, so a second run costs seconds.
# `tools/setup.sh --fuzz` adds clang-16 and its libFuzzer runtime for tools/fuzz.sh.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libtbb-dev libhwy-dev uuid-dev locales
  libraw-dev libtiff-dev libjpeg-dev libpng-dev libheif-dev libexiv2-dev liblcms2-dev
  libopencv-core-dev libopencv-dnn-dev
  libraw-bin libheif-examples libtiff-tools libimage-exiftool-perl
  qt6-base-dev qt6-svg-dev qcoro-qt6-dev desktop-file-utils shared-mime-info
)
case "${1:-}" in
  # libclang_rt.fuzzer comes with libclang-rt-16-dev; LibRaw's header needs clang's omp.h.
  --fuzz) packages+=(clang-16 libclang-rt-16-dev libomp-16-dev) ;;
  "") ;;
  *) echo "usage: tools/setup.sh [--fuzz]" >&2; exit 2 ;;
esac

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "setup: generating de_DE.UTF-8"
  as_root sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi
