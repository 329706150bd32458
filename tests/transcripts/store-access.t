A store that is missing does not open and is not made; CDS_STORE unset or empty names the
default store.

  $ CDS_STORE=$T/none.mdb profill -s; CDS_STORE=$T/none.mdb cdsctl get /LP/1/dayCnt/Value
  Load Profile Add input (profill) version 0.0.01 started.
  ! profill[PID]: main: Error: can't initialize CDS connection
  ! cdsctl: cannot open store $T/none.mdb: No such file or directory
  [2]
  $ ls none.mdb* 2>/dev/null; for unset in 'env -u CDS_STORE' 'env CDS_STORE='; do
  >   $unset cdsctl scan 2>&1 | grep -o -m1 'store /var/lib/cds/store.mdb'
  > done
  store /var/lib/cds/store.mdb
  store /var/lib/cds/store.mdb

A store its user may read but not write (in a writable directory and in a read-only one): the
tools read it, writes are refused whole, and -c removes no day file. Root runs them as nobody.

  $ [ "$(id -u)" = 0 ] && as="setpriv --reuid=65534 --regid=65534 --clear-groups" || as=
  > chmod 755 .. && mkdir -m 777 rw ro && cp store.mdb rw/ && cp store.mdb ro/
  > chmod 444 rw/store.mdb ro/store.mdb && chmod 555 ro && chmod -R a+rwX jffs
  > echo day >jffs/lp1/1.lp && chmod 666 jffs/lp1/1.lp
  $ for dir in rw ro; do
  >   export CDS_STORE=$T/$dir/store.mdb
  >   $as cdsctl get /LP/1/dayCnt/Value; $as cdsctl scan | sed "s/ in [0-9]* pages//"; echo "scan ${PIPESTATUS[0]}"
  >   $as cdsctl set /LP/1/dayCnt/Value 0 /x 1 2>&1; echo "set $?"
  >   $as profill -i 60 -t 1 -c 2>/dev/null | tail -1; echo "profill ${PIPESTATUS[0]}"
  >   cat jffs/lp1/1.lp && cmp store.mdb $dir/store.mdb
  > done
  0
  cdsctl: store $T/rw/store.mdb is sound: 155 leaves
  scan 0
  cdsctl: cannot write store $T/rw/store.mdb: opened read-only: Permission denied
  set 2
  profill: LP 1's file information cannot be stored in the CDS, so -c removes nothing
  profill 1
  day
  0
  cdsctl: store $T/ro/store.mdb is sound: 155 leaves
  scan 0
  cdsctl: cannot write store $T/ro/store.mdb: opened read-only: Permission denied
  set 2
  profill: LP 1's file information cannot be stored in the CDS, so -c removes nothing
  profill 1
  day
