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
  lpdump: cannot open the CDS store $T/store.mdb: empty file, not a store; make a new one (cdsctl init, cdsctl load FILE), then lpdump --repair
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
  lpdump: cannot open the CDS store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file; make a new one (cdsctl init, cdsctl load FILE), then lpdump --repair
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
  lpdump: cannot open the CDS store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file; make a new one (cdsctl init, cdsctl load FILE), then lpdump --repair
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
  lpdump: cannot open the CDS store $T/store.mdb: truncated: 12287 bytes, shorter than the 3 pages of 4096 bytes its meta page counts; make a new one (cdsctl init, cdsctl load FILE), then lpdump --repair
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
  lpdump: cannot open the CDS store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file; make a new one (cdsctl init, cdsctl load FILE), then lpdump --repair
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
