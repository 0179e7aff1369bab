#!/usr/bin/env bash
# Only a screen locker's signs open the input. Another client's grab request
# frees it only when it asks for the keyboard for the root window or for a
# shield over a whole monitor; a client that asks again and again for its own
# window, or xprop asking for the pointer to pick a window, gets nothing and
# no key typed meanwhile reaches the focused client. A one-shot locking
# attempt with no other sign still gets the input, on the root window and on
# a full-screen override-redirect window, and Hushpad holds it again once the
# locker is gone. GNOME's "idle" counts only from gnome-session: a program
# that owns its bus name but is not gnome-session opens nothing.
source "$(dirname "$0")/lib.sh"

# Types count keys "a", one every 0.4 s, at the client; prints how many reached it.
type_and_count() {
  local count=$1 from
  from=$(xev_lines)
  for ((i = 0; i < count; i++)); do
    xdotool mousemove "$client_x" "$client_y" key a
    sleep 0.4  # the typing's own pace
  done
  client_input_since "$from" | grep -c 'keysym 0x61, a)' || true
}

step "desktop, a private system bus and a stand-in logind"
start_desktop_with_logind

step "1. a client asking for the keyboard and pointer every 2 s for 20 s while locked"
lock_and_watch
/usr/bin/python3 "$e2e_dir/grabber.py" repeat "$work/repeat.log" >"$work/repeat.out" 2>&1 &
repeat_pid=$!
helpers+=($!)
wait_for 10 "the grabbing client" grep -qx ready "$work/repeat.log"
reached=$(type_and_count 50)
asked=$(grep -c -E '^(got|refused)$' "$work/repeat.log" || true)
echo "   the client asked $asked times; $reached of 50 keys reached the focused client"
((asked >= 8)) || fail "the grabbing client asked only $asked times"
((reached * 10 <= 50)) || fail "$reached of 50 keys reached the client under the lock"
kill "$repeat_pid"
# xdotool's search can miss while the client's windows are being destroyed.
wait_for 5 "Hushpad to show it holds the input after the grabbing client" hushpad_holds_input

step "2. xprop started while locked asks for the pointer and gives up"
xprop >"$work/xprop.log" 2>&1 &
xprop_pid=$!
helpers+=($!)
wait_for 10 "xprop to give up" bash -c "! kill -0 $xprop_pid 2>/dev/null"
reached=$(type_and_count 10)
echo "   xprop: $(head -n 1 "$work/xprop.log"); $reached of 10 keys reached the client"
((reached == 0)) || fail "$reached keys reached the client after xprop"
hushpad_holds_input || fail "Hushpad let go for xprop"
unlock

for where in root cover; do
  step "3. a one-shot locking attempt on the $where window, with no other sign, gets the input"
  lock_and_watch
  asked=$(now_ms)
  /usr/bin/python3 "$e2e_dir/grabber.py" once "$where" "$work/once-$where.log" \
    >"$work/once-$where.out" 2>&1 &
  once_pid=$!
  helpers+=($!)
  wait_for 10 "the attempt to end" grep -qE '^(grabbed|could not grab)$' "$work/once-$where.log"
  grep -qx grabbed "$work/once-$where.log" || fail "the locker's attempt on the $where window failed"
  echo "   grabbed $(($(now_ms) - asked)) ms after the locker started"
  hushpad_let_go || fail "Hushpad holds the input while the locker does"
  kill "$once_pid"
  wait_for 5 "Hushpad to hold the input again once the locker is gone" hushpad_holds_input
  unlock
done

step "4. an impostor of GNOME's session manager going idle opens nothing"
/usr/bin/python3 "$e2e_dir/gnome_standins.py" session-manager --impostor >"$work/impostor.log" 2>&1 &
helpers+=($!)
wait_for 10 "the impostor" gdbus introspect --session \
  --dest org.gnome.SessionManager --object-path /org/gnome/SessionManager/Presence
lock_and_watch
gdbus call --session --dest org.gnome.SessionManager --object-path /org/gnome/SessionManager/Presence \
  --method org.gnome.SessionManager.Presence.GoIdle >/dev/null
reached=$(type_and_count 10)
((reached == 0)) || fail "$reached keys reached the client after the impostor's idle"
hushpad_holds_input || fail "Hushpad let go for the impostor"
unlock

step "5. Hushpad printed no GLib or GTK warning or critical"
! grep -E '(CRITICAL|WARNING|Gtk-|GLib-)' "$hushpad_log" >&2 || fail "GLib warnings or criticals"

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
