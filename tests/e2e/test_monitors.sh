#!/usr/bin/env bash
# Two monitors of different heights, the tray on the second: a 1024 x 768
# primary monitor with a 1280 x 1024 monitor to its right, tops level, the
# arrangement where the icon that locked used to be unable to unlock. Xvfb
# cannot make two RandR monitors, so this runs a real Xorg with the dummy video
# driver (root only, as Xorg wants for -config; CI is root).
source "$(dirname "$0")/lib.sh"

[[ $(id -u) -eq 0 ]] || { echo "e2e: skipped, Xorg with a configuration file needs root"; exit 0; }
command -v Xorg >/dev/null && [[ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ]] ||
  fail "Xorg or its dummy driver is missing (xserver-xorg-core, xserver-xorg-video-dummy)"

cat >"$work/xorg.conf" <<'CONF'
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoEnableDevices" "false"
    Option "AutoAddGPU" "false"
    Option "DontVTSwitch" "true"
    Option "BlankTime" "0"
    Option "StandbyTime" "0"
    Option "SuspendTime" "0"
    Option "OffTime" "0"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 65536
    Option "Monitor-DUMMY0" "primary"
    Option "Monitor-DUMMY1" "right"
EndSection
Section "Monitor"
    Identifier "primary"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
    Modeline "1024x768" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync
    Option "PreferredMode" "1024x768"
    Option "Position" "0 0"
    Option "Primary" "true"
EndSection
Section "Monitor"
    Identifier "right"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
    Modeline "1280x1024" 109.00 1280 1368 1496 1712 1024 1027 1034 1063 -hsync +vsync
    Option "PreferredMode" "1280x1024"
    Option "Position" "1024 0"
    Option "Enable" "true"
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "primary"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 2304 1024
    EndSubSection
EndSection
CONF

step "Xorg with two monitors (dummy driver), the tray on the second, a client on each"
Xorg -config "$work/xorg.conf" -configdir "$work/xorg.conf.d" -displayfd 3 \
  -logfile "$work/Xorg.log" -nolisten tcp -noreset 3>"$work/display" >"$work/xorg.out" 2>&1 &
helpers+=($!)
wait_for_display
monitors=$(xrandr --listmonitors | tail -n +2 | awk '{print $3}' | tr '\n' ' ')
[[ "$monitors" == "1024/"*"x768/"*"+0+0 1280/"*"x1024/"*"+1024+0 " ]] ||
  fail "the monitors are not as asked: $monitors"
start_tray --monitor 1
start_client 300x200+100+300
other_log=$work/xev-right.log
stdbuf -oL xev -geometry 300x200+1600+600 >"$other_log" 2>&1 &
helpers+=($!)
wait_for 15 "the second client (xev) to be mapped" grep -q MapNotify "$other_log"
set_user_settings
start_hushpad
((icon_x >= 1024)) || fail "the icon is not on the second monitor: $icon_x,$icon_y"
echo "   icon at ${icon_x},${icon_y} size ${icon_w}x${icon_h}"

step "1. a click on the icon locks"
lock
wait_for 10 "the touchpad settings to be switched off" all_switched_off

step "2. clicks and keys elsewhere on either monitor are swallowed"
mark=$(xev_lines)
other_mark=$(wc -l <"$other_log")
xdotool mousemove 250 400 click 1 key a
xdotool mousemove 1700 700 click 1 key b
xdotool mousemove 500 10 click 1                 # the first monitor's top strip
xdotool mousemove 1500 10 click 1                # the second monitor's top, away from the icon
xdotool mousemove "$((icon_x - 13))" "$icon_cy" click 1
icon_title_is "Hushpad locked" || fail "a click away from the icon unlocked"

step "3. a click on the icon unlocks"
unlock
wait_for 10 "the user's touchpad settings to be restored" user_settings_restored
xdotool mousemove 250 400 key z
wait_for 5 "the first client to receive z after unlocking" client_got_key "$mark" z
held=$(client_input_since "$mark")
[[ "$held" == "keysym 0x7a, z)" ]] || fail "input reached the first client while locked: $held"
tail -n "+$((other_mark + 1))" "$other_log" | grep -qE '^(KeyPress|ButtonPress)' &&
  fail "input reached the second client while locked"

step "4. the monitor holding the unlock mark is switched off while locked: the mark comes back"
mark_window() { xdotool search --onlyvisible --name '^Hushpad is locked$' 2>/dev/null | head -n 1 | grep .; }
lock
wait_for 5 "the unlock mark" mark_window
read -r mx my mw mh < <(window_geometry "$(mark_window)")
((mx >= 1024)) || fail "the mark is not on the second monitor: $mx,$my"
xrandr --output DUMMY1 --off
# On the first monitor, the only one left (the pointer stayed where the
# second one was, so the mark goes to the nearest place on the first).
mark_on_first() {
  read -r mx my mw mh < <(window_geometry "$(mark_window)") && ((mx + mw <= 1024 && my + mh <= 768))
}
wait_for 10 "the mark on the first monitor" mark_on_first
echo "   the mark came back at $mx,$my"
icon_title_is "Hushpad locked" || fail "switching the monitor off unlocked"
xdotool mousemove "$((mx + mw / 2))" "$((my + mh / 2))" click 1
wait_for 10 "the unlock by the mark that came back" icon_title_is "Hushpad unlocked"

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
