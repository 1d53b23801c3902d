#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# Idempotent: only packages that are missing are installed.
set -euo pipefail

# What each is for:
#   build-essential cmake ninja-build    the compilers and the build (presets use Ninja)
#   pkg-config libudev-dev               device enumeration in src/platform
#   clang libclang-rt-14-dev             the fuzz preset: clang, libFuzzer and its sanitizers
#   clang-format                         scripts/check-format.sh (clang-format 14)
#   googletest libgtest-dev libgmock-dev the tests
#   libbenchmark-dev imagemagick         make bench (bench/)
#   qt6-base-dev qt6-base-dev-tools      kp70tool; libgl-dev because Qt's CMake package
#   libgl-dev                            looks for OpenGL
#   libcli11-dev nlohmann-json3-dev      kp70ctl and kp70sim options, kp70sim's state file,
#   libpng-dev                           receipt and dot pictures
#   xvfb                                 make run and make bench without a display
#   fonts-nanum locales                  the Korean interface: Hangul glyphs and ko_KR.UTF-8
#   iproute2                             ip netns, for discovery tests in network namespaces
#   ccache                               rebuilds reuse earlier compilations
#   libstb-dev zlib1g-dev                logos from PNG, JPEG and GIF files (stb_image), and
#                                        the PNG data check before decoding (src/image)
#   jq                                   scripts/fault-matrix.sh reads kp70sim's state file
#   scdoc librsvg2-bin dpkg-dev file     make package: man pages (scdoc), icons (rsvg-convert),
#                                        the changelog's version, CPack's shlibdeps and strip
#   desktop-file-utils appstream         checks of the desktop entry and the AppStream metainfo
#   bash-completion                      kp70ctl's completion and the test that tries it
#   lintian man-db xdotool xauth         make package-test: lintian, man, finding kp70tool's
#                                        window under xvfb-run
#   g++-mingw-w64-x86-64-posix           make windows: kp70ctl.exe cross-built for 64-bit Windows
#   libz-mingw-w64-dev                   (the POSIX thread model), zlib for it; its tests and
#   wine wine64                          make windows-test run under Debian's 64-bit Wine
#   qemu-system-x86 busybox-static cpio  make hw-test: the test machine, its shell and tools,
#   kmod libacl1 libblkid1 libcap2       its initramfs, depmod and modprobe, and the libraries
#   libkmod2 libselinux1                 of the guest's udevd (taken from the host)
#   libcpp-httplib-dev                   kp70ctl monitor's HTTP side (/metrics, /healthz)
#   prometheus                           the monitor's end-to-end test (a real server it
#                                        starts on loopback) and promtool for the alert rules
#   systemd                              systemd-analyze verify of the monitor's service unit
packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libudev-dev
  libcli11-dev nlohmann-json3-dev libpng-dev
  xvfb fonts-nanum locales iproute2 ccache jq
  imagemagick
  libstb-dev zlib1g-dev
  scdoc librsvg2-bin dpkg-dev file desktop-file-utils appstream bash-completion
  lintian man-db xdotool xauth
  qemu-system-x86 busybox-static cpio kmod libacl1 libblkid1 libcap2 libkmod2 libselinux1
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64
  libcpp-httplib-dev prometheus systemd
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
  # The prometheus package enables and starts its own server on every address (port 9090);
  # the tests start one of their own on loopback, so the one installed here stays off.
  if printf '%s\n' "${missing[@]}" | grep -qx prometheus && [ -d /run/systemd/system ]; then
    $SUDO systemctl disable --now prometheus.service >/dev/null 2>&1 || true
  fi
fi

# The Korean interface is chosen by the locale; make sure one exists.
if ! locale -a 2>/dev/null | grep -qi '^ko_KR.utf8$'; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  if [ -f /etc/locale.gen ]; then
    $SUDO sed -i 's/^# *ko_KR.UTF-8 UTF-8/ko_KR.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ko_KR.UTF-8 UTF-8' /etc/locale.gen || echo 'ko_KR.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
  fi
fi

# make hw-test boots Debian's kernel with Debian's udev in a virtual machine. Both packages
# are downloaded here, never installed on this machine (tests/hardware/make-initramfs.sh
# unpacks them); the kernel is the one linux-image-amd64 names today.
HW_CACHE=${KP70_HW_CACHE:-/var/cache/kp70tool-hw}
kernel=$(apt-cache depends linux-image-amd64 2>/dev/null |
    awk '$1 == "Depends:" && $2 ~ /^linux-image-[0-9]/ && !k { k = $2 } END { print k }')
if [ -z "$kernel" ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -q
  kernel=$(apt-cache depends linux-image-amd64 |
      awk '$1 == "Depends:" && $2 ~ /^linux-image-[0-9]/ && !k { k = $2 } END { print k }')
fi
if ! ls "$HW_CACHE/${kernel}_"*.deb >/dev/null 2>&1 || ! ls "$HW_CACHE"/udev_*.deb >/dev/null 2>&1; then
  echo "Downloading for make hw-test: $kernel udev (into $HW_CACHE)"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO mkdir -p "$HW_CACHE"
  # Older downloads go, so the rig always takes the one just fetched.
  $SUDO find "$HW_CACHE" -name '*.deb' -delete
  (cd "$HW_CACHE" && $SUDO apt-get download -q "$kernel" udev)
fi
