#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and runs
# apt only when one of them is missing. Every name is a real package (not a
# virtual one that no package is ever installed under), so a machine that has
# them all needs neither the network nor root.
set -euo pipefail
pkgs=(build-essential cmake pkg-config qt6-base-dev qt6-svg-dev libgl-dev
      libplist-dev libplist++-dev libgtest-dev libbenchmark-dev zip unzip xvfb xauth
      openbox xdotool x11-utils)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
