#!/bin/bash
# Holds a tool's manual page to the tool: the options (cdsctl: the verbs) its help lists are the
# entries of the page's OPTIONS (COMMANDS) section and no others, the exit statuses its help
# names are those under EXIT STATUS, and the page renders without a warning. profill has no
# help: the options of its usage line are the page's OPTIONS entries.
#   man_pages.sh TOOL BINARY PAGE
set -u
tool=$1 binary=$2 page=$3
failed=0
fail() {
    echo "ManPages.$tool: $*"
    failed=1
}

# The tag line of each .TP or .TQ entry of section $1 (not those nested in .RS), as plain text.
entries() {
    awk -v section="$1" '
        /^\.SH / { inside = ($0 == ".SH " section); next }
        !inside { next }
        /^\.RS/ { depth++ }
        /^\.RE/ { depth-- }
        tag { tag = 0; print; next }
        depth == 0 && /^\.T[PQ]/ { tag = 1 }' "$page" |
        sed -E 's/^\.[A-Z]+ ?//; s/\\f[BIRP]//g; s/\\[%&]//g; s/\\-/-/g; s/\\\(..//g; s/\\~/ /g; s/"//g'
}
# The options named in the lines on standard input, one a line, sorted.
options() { grep -oE '(^|[][ ,])-[-a-z0-9]+' | tr -d '[] ,' | sort -u; }
# Says what one list ($3) has that the other ($4) lacks, both ways; $1 and $2 name them.
compare() {
    [ -n "$3" ] || fail "found nothing in $1"
    [ -n "$4" ] || fail "found nothing in $2"
    [ -n "$3" ] && [ -n "$4" ] || return
    comm -23 <(echo "$3") <(echo "$4") | while read -r word; do
        echo "ManPages.$tool: $word is in $1 but not in $2"
    done | grep . && failed=1
    comm -13 <(echo "$3") <(echo "$4") | while read -r word; do
        echo "ManPages.$tool: $word is in $2 but not in $1"
    done | grep . && failed=1
}

if [ "$tool" = profill ]; then
    usage=$("$binary" -x 2>&1 | grep '^Usage: profill')
    compare "its usage line" "the OPTIONS of $page" "$(options <<<"$usage")" \
        "$(entries OPTIONS | options)"
else
    help=$("$binary" --help) || fail "--help ended with status $?"
    listed=$(sed '/^Exit status:/,$d' <<<"$help" | grep -E '^  [^ ]' | sed -E 's/^  //; s/  .*//')
    if [ "$tool" = cdsctl ]; then
        compare "--help" "the COMMANDS of $page" "$(awk '{print $1}' <<<"$listed" | sort -u)" \
            "$(entries COMMANDS | awk '{print $1}' | sort -u)"
    else
        compare "--help" "the OPTIONS of $page" "$(options <<<"$listed")" \
            "$(entries OPTIONS | options)"
    fi
    compare "the exit statuses of --help" "the EXIT STATUS of $page" \
        "$(sed -n '/^Exit status:/,$p' <<<"$help" | grep -oE '^  [0-9]+' | tr -d ' ' | sort -u)" \
        "$(entries 'EXIT STATUS' | grep -oE '^[0-9]+$' | sort -u)"
    [ "$(tail -n 1 <<<"$help")" = "See $tool(1)." ] || fail "--help does not end with \"See $tool(1).\""
fi

if ! command -v groff >/dev/null; then
    fail "groff is missing, so $page cannot be checked: install groff-base"
else
    warnings=$(groff -man -ww -z -Tutf8 "$page" 2>&1)
    [ -z "$warnings" ] || fail "groff warns about $page: $warnings"
fi
exit $failed
