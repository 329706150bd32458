Stores that are empty, cut short or garbage: every tool refuses them with its status and
writes nothing, and -c removes no day file when it cannot store the zeros.

  $ cp store.mdb seed.mdb && : >store.mdb && cdsctl get /LP/1/dayCnt/Value
  ! cdsctl: cannot open store $T/store.mdb: empty file, not a store
  [2]
  $ head -c 40 seed.mdb >store.mdb && cdsctl get /LP/1/dayCnt/Value
  ! cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  $ head -c 4136 seed.mdb >store.mdb && cdsctl get /LP/1/dayCnt/Value
  ! cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
A store cut by one byte; a fresh one, whose pages count the same on every machine.

  $ CDS_STORE=$T/new.mdb cdsctl init && head -c -1 new.mdb >short.mdb && cp short.mdb store.mdb
  > cdsctl get /LP/1/dayCnt/Value
  ! cdsctl: cannot open store $T/store.mdb: truncated: 12287 bytes, shorter than the 3 pages of 4096 bytes its meta page counts
  [2]
  $ profill -s
  Load Profile Add input (profill) version 0.0.01 started.
  ! profill[PID]: main: Error: can't initialize CDS connection
  [1]
  $ lpdump --verify
  ! lpdump: cannot open the CDS store $T/store.mdb: truncated: 12287 bytes, shorter than the 3 pages of 4096 bytes its meta page counts; make a new one (cdsctl init, cdsctl load FILE), then lpdump --repair
  [2]
  $ cdsctl scan
  ! cdsctl: cannot open store $T/store.mdb: truncated: 12287 bytes, shorter than the 3 pages of 4096 bytes its meta page counts
  [2]
  $ cdsctl set /LP/1/dayCnt/Value 0
  ! cdsctl: cannot open store $T/store.mdb: truncated: 12287 bytes, shorter than the 3 pages of 4096 bytes its meta page counts
  [2]
  $ echo day >jffs/lp1/1.lp && profill -i 60 -t 1 -c
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 60
  ! profill[PID]: main: Error: can't initialize CDS connection
  [1]
  $ cat jffs/lp1/1.lp && cmp short.mdb store.mdb
  day
  $ yes garbage | head -c 12288 >store.mdb && cdsctl get /LP/1/dayCnt/Value
  ! cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  $ profill -s
  Load Profile Add input (profill) version 0.0.01 started.
  ! profill[PID]: main: Error: can't initialize CDS connection
  [1]
  $ lpdump --verify
  ! lpdump: cannot open the CDS store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file; make a new one (cdsctl init, cdsctl load FILE), then lpdump --repair
  [2]
  $ cdsctl scan
  ! cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  $ cdsctl set /LP/1/dayCnt/Value 0
  ! cdsctl: cannot open store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file
  [2]
  $ profill -i 60 -t 1 -c
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 60
  ! profill[PID]: main: Error: can't initialize CDS connection
  [1]
  $ cat jffs/lp1/1.lp && yes garbage | head -c 12288 | cmp - store.mdb
  day
