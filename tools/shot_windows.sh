# shellcheck shell=bash
# Sourced by the screenshot scripts' shots under xvfb-run: finds the program's windows and runs
# its list.

# shellcheck disable=SC2154 # pid: the program the calling script started
# The window ids of the program started as $pid: xdotool's name search does not take Japanese, and
# it lists the root window first.
find_window() { # a visible window of the program other than the given one
    for _ in $(seq 100); do
        id=$(xdotool search --pid "$pid" --onlyvisible --name '' 2>/dev/null | tail -n +2 |
            grep -vxF -e "$1" | tail -1) && [ -n "$id" ] && echo "$id" && return
        sleep 0.2
    done
    return 1
}

# Runs the list from the File menu and answers the question before the run; sets main and console.
# shellcheck disable=SC2034 # console is the caller's
run_list_from_file_menu() {
    main=$(find_window none)
    xdotool windowfocus --sync "$main"
    xdotool key alt+f; sleep 0.5; xdotool key x
    sleep 1
    xdotool key Return
    console=$(find_window "$main")
}
