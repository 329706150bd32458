PROFILL_JFFS: a plain absolute path of at most 1024 characters (it goes into -c's shell command).
  $ PROFILL_JFFS=$T/jffs// profill -t 1 -c | grep -E 'rm -Rf|creating file' | sort -u
  [CreateLpFile]creating file $T/jffs/lp1/1.lp
  [CreateLpFile]creating file $T/jffs/lp1/2.lp
  profill: success for rm -Rf $T/jffs/lp1/*.lp
  $ PROFILL_JFFS=/$(printf 'a%.0s' {1..1023}) profill -s >/dev/null && echo accepted
  accepted
  $ PROFILL_JFFS=/$(printf 'a%.0s' {1..1024}) profill -s | cut -c 1-130; echo "status ${PIPESTATUS[0]}"
  Load Profile Add input (profill) version 0.0.01 started.
  profill: PROFILL_JFFS must be an absolute path of at most 1024 letters, digits, '/', '.', '_' and '-': "/aaaaaaaaaaaaaaaaaaaaaaaaa
  status 1
  $ for root in '' jffs '/tmp/with space' '/tmp/x;rm' '/tmp/$HOME' "/tmp/a'b*" $'/tmp/caf\xc3\xa9\t' /A-z_0.9; do
  >   PROFILL_JFFS=$root profill -s | grep -o ': "[^"]*"$' || echo "$root: accepted"; done
  : ""
  : "jffs"
  : "/tmp/with space"
  : "/tmp/x;rm"
  : "/tmp/$HOME"
  : "/tmp/a'b*"
  : "/tmp/caf???"
  /A-z_0.9: accepted
The root / alone gives /lp1/ and /lp2/, not //lp2/.
  $ PROFILL_JFFS=/ profill -t 1 -2 | tail -1
  profill: LP 2's directory /lp2/ is missing (mkdir -p /lp2/ makes it); nothing was changed
Off the device a missing profile directory is refused with the command that makes it, the root
included; run as printed, it lets the profile start.
  $ PROFILL_JFFS=$T/host/jffs profill -t 1 -2 | tail -1 | tee refusal
  profill: LP 2's directory $T/host/jffs/lp2/ is missing (mkdir -p $T/host/jffs/lp2/ makes it); nothing was changed
  $ $(sed -n 's/.*(\(mkdir -p [^ ]*\) makes it).*/\1/p' refusal) && PROFILL_JFFS=$T/host/jffs profill -t 1 -2 |
  >   grep recordsWritten
  profill: recordsWritten = 100
  profill: recordsWritten = 200
