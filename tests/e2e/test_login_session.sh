#!/usr/bin/env bash
# Hushpad listens to logind for its own session, found without waiting: the
# session XDG_SESSION_ID names, else the user's display session (programs a
# desktop starts by itself often run outside the login session), else the one
# logind finds for the process. Each is shown by logind's Lock for that
# session making Hushpad let go of the input, against a stand-in logind.
source "$(dirname "$0")/lib.sh"

# Starts Hushpad with the environment given, locks, and lets logind send Lock
# on the session object $1.
expect_lock_heard_on() {
  local session=$1
  shift
  env "$@" "$hushpad" >>"$hushpad_log" 2>&1 &
  hushpad_pid=$!
  wait_for 15 "the tray to embed Hushpad's icon" icon_embedded
  read_icon_geometry
  wait_for 10 "Hushpad to find its session" login1_logged "$found"
  lock_and_watch
  login1_hook EmitLockOn "'/org/freedesktop/login1/session/$session'"
  wait_for 10 "Hushpad to let go at logind's Lock on $session" hushpad_let_go
  kill -TERM "$hushpad_pid"
  expect_exit 0
}

step "desktop, a private system bus and a stand-in logind whose user has display session c2"
start_system_bus
export LOGIN1_DISPLAY_SESSION=c2
start_login1
start_desktop
set_user_settings

step "1. XDG_SESSION_ID names the session"
found="session-id c7"
expect_lock_heard_on c7 XDG_SESSION_ID=c7

step "2. without it, the user's display session"
found="user $(id -u)"
expect_lock_heard_on c2 XDG_SESSION_ID=

echo "e2e: all passed in $(((${EPOCHREALTIME/./} - started_ms) / 1000)) ms"
