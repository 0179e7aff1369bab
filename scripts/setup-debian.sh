#!/usr/bin/env bash
# Installs every Debian package Hushpad needs to build, run and test on Linux.
#   scripts/setup-debian.sh          build + run (GTK3 tray utility)
#   scripts/setup-debian.sh --tests  also the test tools (GoogleTest, Benchmark,
#                                    clang/libFuzzer, headless X server, tray host,
#                                    the package's checkers)
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  nlohmann-json3-dev           # backup codec (JSON)
  libgtk-3-dev libcairo2-dev   # tray icon, dialogs, drawing (GSettings comes with GLib)
  libdbusmenu-glib-dev         # the StatusNotifierItem's menu, drawn by the panel
  libgtk-layer-shell-dev libwayland-dev wayland-protocols  # the lock on Wayland: an overlay over
                                                          # every output, the shortcuts inhibitor
  libx11-dev libx11-xcb-dev    # the input grab, one instance per X session
  libxss-dev libxtst-dev libxi-dev libxext-dev  # seeing a screen locker coming (screen saver, RECORD, SYNC)
  gsettings-desktop-schemas    # the touchpad settings a lock switches off
)
if [[ "${1:-}" == "--tests" ]]; then
  packages+=(
    libgtest-dev libgmock-dev googletest  # unit tests
    libbenchmark-dev                      # benchmarks
    clang lld libclang-rt-dev             # libFuzzer + sanitizers
    xvfb xauth trayer xdotool x11-utils   # headless X server, tray host, XTEST, xev/xwininfo
    xfce4-panel                           # a second tray host, one that gives icons an alpha channel
    xkbset                                # reading the keyboard accessibility controls back
    dconf-service dconf-gsettings-backend dconf-cli  # GSettings in dconf, as on GNOME
    dbus dbus-x11 libglib2.0-bin          # private session and system buses, gsettings, gdbus
    python3-gi gir1.2-glib-2.0 gir1.2-gtk-3.0  # the stand-ins (logind, GNOME) of the end-to-end tests
    imagemagick                           # screenshots of the tray icon
    x11-xserver-utils xscreensaver        # xset's screen saver and a real screen locker
    xserver-xorg-core xserver-xorg-video-dummy  # a real X server with two monitors
    sway swaybg                           # a headless Wayland compositor; swaybg paints its backgrounds
    waybar                                # a Wayland tray host (StatusNotifierWatcher)
    wev wtype grim                        # Wayland client that logs its input, virtual keyboard, screenshots
    jq                                    # reading sway's IPC answers
    gnome-shell gjs                       # a headless GNOME Shell 43 with Hushpad's extension;
                                          # gjs also checks both builds of the extension
    # wl_pointer and wl_keyboard, the tests' virtual pointer and keyboard, build with the
    # program's own Wayland packages (wayland-scanner, xdg-output; libxkbcommon-dev comes
    # with libgtk-3-dev)
    lintian appstream desktop-file-utils man-db  # the package's checks: lintian, metainfo,
                                                 # menu entry, manual page
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""
[[ $(id -u) -eq 0 ]] || SUDO="sudo"
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The screen locker that the end-to-end tests unlock with a password runs as a
# system user of its own (no login shell), whose password the tests type.
if [[ "${1:-}" == "--tests" ]] && ! id -u hushpad-e2e >/dev/null 2>&1; then
  $SUDO useradd --system --create-home --home-dir /var/lib/hushpad-e2e \
    --shell /usr/sbin/nologin hushpad-e2e
  echo 'hushpad-e2e:cat-on-keys' | $SUDO chpasswd
fi
