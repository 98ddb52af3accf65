# shellcheck shell=bash
# Sourced by the shell benchmarks: wall-clock timing, medians and ratio lines against targets.

now() { date +%s.%N; }
calc() { awk "BEGIN { print $* }"; }
# Seconds a command takes, its output discarded.
seconds() { local t0; t0=$(now); "$@" >/dev/null 2>&1; calc "$(now) - $t0"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
report() { # label xcpycmd-seconds other-seconds other-name target
    local r; r=$(ratio "$2" "$3")
    printf '%-30s xcpycmd %7.3fs  %-24s %7.3fs  ratio %s (target <= %s: %s)\n' "$1" "$2" "$4" "$3" "$r" "$5" \
        "$(awk -v a="$r" -v b="$5" 'BEGIN { print (a <= b ? "ok" : "OVER") }')"
}
