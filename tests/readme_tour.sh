#!/bin/bash
# Runs the README's tour as a transcript, so that the README shows what the tools print.
#
# usage: readme_tour.sh README PROFILL CDSCTL LPDUMP SEED LPLOAD
#
# The tour is what lies between the README's lines "<!-- tour..." and "<!-- /tour -->": its
# indented lines are commands ("$ ") and what they print, its other lines are comments. It runs as
# a newcomer runs it after the main job: in a project directory with the tools in sandbox/bin and
# the examples beside them, with a home directory of its own standing for /root, and with
# profill's clock standing at the moment the README names.
set -u
readme=$1
work=$(mktemp -d) || exit 2
trap 'rm -rf "$work"' EXIT
# The commands of the tour, as the README types them: none would make a tour that checks nothing.
typed=$(sed -n '/^<!-- tour/,/^<!-- \/tour -->/p' "$readme" | grep -c '^    \$ ')
[ "$typed" -gt 0 ] && grep -q '^<!-- /tour -->' "$readme" ||
    { echo "$readme has no tour between \"<!-- tour\" and \"<!-- /tour -->\""; exit 1; }
{
    echo 'The set-up the main job leaves, and the clock of the README:'
    echo '  $ export HOME=$T/root && mkdir -p $HOME $T/project/sandbox/bin && cd $T/project'
    echo '  $ ln -s "$EXAMPLES" examples && for tool in profill cdsctl lpdump lpload; do ln -s "$(type -P $tool)" sandbox/bin; done'
    echo "  \$ profill() { faketime -f '2026-12-06 12:00:00' \"\$(type -P profill)\" \"\$@\"; }"
    sed -n '/^<!-- tour/,/^<!-- \/tour -->/{/^<!--/d;p}' "$readme" |
        sed -e 's/^  //' -e '/^  [^$]/s|/root/|$T/root/|g'
} >"$work/tour.t"
[ "$(grep -c '^  \$ ' "$work/tour.t")" -eq $((typed + 3)) ] ||
    { echo "the tour's commands did not all come across from $readme"; exit 1; }
# The transcript is made here from the README, so there is nothing to update in place.
TRANSCRIPT_UPDATE= bash "$(dirname "$0")/transcript.sh" "$work/tour.t" "$2" "$3" "$4" "$5" "$6"
