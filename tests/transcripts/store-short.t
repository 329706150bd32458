Stores that are empty, cut short (a fresh store cut by one byte counts the same pages on every
machine) or garbage: every tool refuses them with its status and writes nothing, and -c removes
no day file when it cannot store the zeros.
  $ : >empty.mdb; head -c 40 store.mdb >40.mdb; head -c 4136 store.mdb >4136.mdb
  > CDS_STORE=$T/new.mdb cdsctl init && head -c -1 new.mdb >short.mdb; yes garbage | head -c 12288 >garbage.mdb
  $ echo day >jffs/lp1/1.lp; for bad in empty 40 4136 short garbage; do cp $bad.mdb store.mdb; echo "== $bad"
  >   for run in 'cdsctl get /LP/1/dayCnt/Value' 'profill -s' 'lpdump --verify' 'cdsctl scan' \
  >     'cdsctl set /LP/1/dayCnt/Value 0' 'profill -i 60 -t 1 -c'; do $run 2>&1; echo "[$?]"; done
  >   cat jffs/lp1/1.lp && cmp $bad.mdb store.mdb; done
  == empty
  cdsctl: cannot open store $T/store.mdb: empty file, not a store
  [2]
  profill[PID]: main: Error: can't initialize CDS connection
  Load Profile Add input (profill) version 0.0.01 started.
  [1]
  lpdump: cannot open the CDS store $T/store.mdb: empty file, not a store; move it aside and make a new one (cdsctl init FILE), then lpdump --repair
  [2]
  cdsctl: cannot open store $T/store.mdb: empty file, not a store
  [2]
  cdsctl: cannot open store $T/store.mdb: empty file, not a store
  [2]
  profill[PID]: main: Error: can't initialize CDS connection
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 60
  [1]
  day
  == 40
  cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  profill[PID]: main: Error: can't initialize CDS connection
  Load Profile Add input (profill) version 0.0.01 started.
  [1]
  lpdump: cannot open the CDS store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file; move it aside and make a new one (cdsctl init FILE), then lpdump --repair
  [2]
  cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  profill[PID]: main: Error: can't initialize CDS connection
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 60
  [1]
  day
  == 4136
  cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  profill[PID]: main: Error: can't initialize CDS connection
  Load Profile Add input (profill) version 0.0.01 started.
  [1]
  lpdump: cannot open the CDS store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file; move it aside and make a new one (cdsctl init FILE), then lpdump --repair
  [2]
  cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  profill[PID]: main: Error: can't initialize CDS connection
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 60
  [1]
  day
  == short
  cdsctl: cannot open store $T/store.mdb: truncated: 12287 bytes, shorter than the 3 pages of 4096 bytes its meta page counts
  [2]
  profill[PID]: main: Error: can't initialize CDS connection
  Load Profile Add input (profill) version 0.0.01 started.
  [1]
  lpdump: cannot open the CDS store $T/store.mdb: truncated: 12287 bytes, shorter than the 3 pages of 4096 bytes its meta page counts; move it aside and make a new one (cdsctl init FILE), then lpdump --repair
  [2]
  cdsctl: cannot open store $T/store.mdb: truncated: 12287 bytes, shorter than the 3 pages of 4096 bytes its meta page counts
  [2]
  cdsctl: cannot open store $T/store.mdb: truncated: 12287 bytes, shorter than the 3 pages of 4096 bytes its meta page counts
  [2]
  profill[PID]: main: Error: can't initialize CDS connection
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 60
  [1]
  day
  == garbage
  cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  profill[PID]: main: Error: can't initialize CDS connection
  Load Profile Add input (profill) version 0.0.01 started.
  [1]
  lpdump: cannot open the CDS store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file; move it aside and make a new one (cdsctl init FILE), then lpdump --repair
  [2]
  cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  profill[PID]: main: Error: can't initialize CDS connection
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 60
  [1]
  day

Keys out of order on a leaf page (two swapped in place, the store's mark and its first leaf
included, or one made the same as the one before it) are damage.

  $ export CDS_STORE=k.mdb; cdsctl init && cdsctl set /a/0/Value 0 /a/3/Value 3 /a/5/Value 5
  $ at() { grep -obUa -- "$1" k.mdb | tail -n1 | cut -d: -f1; }
  > put() { printf %s "$2" | dd of=bad.mdb bs=1 seek=$1 conv=notrunc status=none; }
  $ for swap in '.cds-store /a/0/Value /a/0/Value .cds-store' '/a/3/Value /a/5/Value /a/5/Value /a/3/Value' \
  >   '/a/3/Value /a/5/Value /a/3/Value /a/3/Value'; do set -- $swap
  >   cp k.mdb bad.mdb && put $(at $1) $3 && put $(at $2) $4 && CDS_STORE=bad.mdb cdsctl get /a/0/Value; done
  ! cdsctl: cannot open store bad.mdb: damaged: the main database's keys are out of order
  ! cdsctl: cannot open store bad.mdb: damaged: the main database's keys are out of order
  ! cdsctl: cannot open store bad.mdb: damaged: the main database's keys are out of order
  [2]
