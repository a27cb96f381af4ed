#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, when
# any is missing. As root it installs; with password-less sudo it uses sudo;
# otherwise it prints the one command to run and fails.
set -euo pipefail

# libsndfile reads and writes the simulated chip's sound, alsa-lib plays it
# (its null and file devices let the tests play without a card); alsa-tools'
# as10k1 assembles the programs of the tests and the guide; help2man writes the
# tools' manual pages; file and dpkg-dev make the .deb;
# systemd (for systemd-socket-activate), desktop-file-utils and appstream
# check the installed tree; xclip reads what the end-to-end tests copy from
# the viewer; fftw3 computes the scope's spectrum; pulseaudio, its tools and
# alsa-plugins' pulse PCM give the sound tests a sound server of their own.
packages=(cmake make g++ pkg-config qt6-base-dev libqscintilla2-qt6-dev libgtest-dev
          libgmock-dev libbenchmark-dev xvfb xdotool xclip x11-utils imagemagick fonts-liberation2 fonts-wine
          binutils libsndfile1-dev libasound2-dev alsa-tools help2man file dpkg-dev systemd desktop-file-utils appstream
          libfftw3-dev pulseaudio pulseaudio-utils libasound2-plugins
          "$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    as_root=(sudo)
else
    echo "Missing packages. Run:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync fails an update now and then: try again,
# and go on with the lists there are when it keeps failing.
for attempt in 1 2 3; do
    "${as_root[@]}" apt-get update -qq && break
    echo "apt-get update failed (attempt $attempt of 3)" >&2
    sleep $((attempt * 5))
done
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
