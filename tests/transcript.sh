#!/bin/bash
# Runs a transcript of shell commands and compares what they print with what it says.
#
# usage: transcript.sh FILE PROFILL CDSCTL LPDUMP SEED LPLOAD
#
# A transcript holds commands as "  $ command" (continued on "  > " lines right after it), each
# followed by what it prints, indented by two spaces: standard output, then standard error with
# "! " before each line, then "[N]" when it exits with status N other than 0; " (no-eol)" ends a
# last line without a newline. Unindented lines are comments. (So a first line of output that
# starts with "$ " or "> " reads as a command: filter such output.) The commands run in one bash,
# in turn, in a scratch directory $T holding the flash root ($T/jffs/lp1, lp2) and a host store
# seeded from SEED; profill, cdsctl, lpdump and lpload are on PATH, TZ is UTC. In what they
# print, $T stands for that directory and [PID] for the process id in a syslog line's "name[pid]: ".
# $EXAMPLES is the directory of SEED, which holds the other examples.
# With TRANSCRIPT_UPDATE=1 the file is rewritten with what the commands printed.
set -u
file=$1
work=$(mktemp -d) || exit 2
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/t/jffs/lp1" "$work/t/jffs/lp2" "$work/bin"
ln -s "$(readlink -f "$2")" "$work/bin/profill"
ln -s "$(readlink -f "$3")" "$work/bin/cdsctl"
ln -s "$(readlink -f "$4")" "$work/bin/lpdump"
ln -s "$(readlink -f "$6")" "$work/bin/lpload"
export T="$work/t" PROFILL_JFFS="$work/t/jffs" CDS_STORE="$work/t/store.mdb" TZ=UTC LC_ALL=C
export EXAMPLES="$(cd "$(dirname "$5")" && pwd)"
export PATH="$work/bin:/usr/bin:/bin" ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
{ "$work/bin/cdsctl" init && "$work/bin/cdsctl" load "$5"; } >/dev/null ||
    { echo "cannot seed the store from $5"; exit 2; }

# The script that runs each command and keeps what it printed in $work/N.out, N.err, N.status.
commands=0
continues=0
close_command() {
    [ "$commands" -gt 0 ] || return 0
    printf '} >"$W/%d.out" 2>"$W/%d.err" </dev/null; echo $? >"$W/%d.status"\n' \
        "$commands" "$commands" "$commands"
}
{
    echo 'cd "$T"'
    while IFS= read -r line; do
        case $line in
        '  $ '*)
            close_command
            commands=$((commands + 1))
            printf '{\n%s\n' "${line#  \$ }"
            continues=1
            continue
            ;;
        '  > '*) [ "$continues" = 1 ] && printf '%s\n' "${line#  > }" && continue ;;
        esac
        continues=0
    done <"$file"
    close_command
} >"$work/script"
W="$work" bash "$work/script" </dev/null >/dev/null 2>&1

# The lines one command printed, as a transcript shows them.
printed() {
    local n=$1
    [ -f "$work/$n.status" ] ||
        { echo "  (did not run: an earlier command ended the transcript)"; return; }
    for stream in out err; do
        [ -s "$work/$n.$stream" ] || continue
        local prefix='  '
        [ "$stream" = err ] && prefix='  ! '
        sed -e "s|$T|\$T|g" -e 's/\[[0-9][0-9]*\]: /[PID]: /' -e "s|^|$prefix|" "$work/$n.$stream"
        [ -n "$(tail -c 1 "$work/$n.$stream")" ] && echo " (no-eol)"
    done
    local status
    status=$(cat "$work/$n.status")
    [ "$status" = 0 ] || echo "  [$status]"
}

# The transcript as it should read: comments and commands as they stand, each command followed by
# what it printed.
n=0
in_command=0
continues=0
while IFS= read -r line; do
    case $line in
    '  $ '*)
        [ "$in_command" = 1 ] && printed "$n"
        n=$((n + 1))
        in_command=1
        continues=1
        printf '%s\n' "$line"
        continue
        ;;
    '  > '*) [ "$continues" = 1 ] && { printf '%s\n' "$line"; continue; } ;;
    '  '*) ;;
    *)
        [ "$in_command" = 1 ] && printed "$n"
        in_command=0
        printf '%s\n' "$line"
        ;;
    esac
    continues=0
done <"$file" >"$work/actual"
[ "$in_command" = 1 ] && printed "$n" >>"$work/actual"

if [ "${TRANSCRIPT_UPDATE:-}" = 1 ]; then
    cp "$work/actual" "$file"
    exit 0
fi
diff -u --label "$file" --label "what the commands printed" "$file" "$work/actual"
